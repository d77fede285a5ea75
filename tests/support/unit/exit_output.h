// Runs code that ends the process (help, version, option errors) in a death
// test, checking its exit status and exactly what it wrote on standard error,
// and returns what it wrote on standard output.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace exit_output_detail {

// Named after the running test, so that tests run in parallel do not share it
// and a re-executed death test child finds the same path.
inline std::string outputPath() {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    return testing::TempDir() + "vindle_stdout_" + test->test_suite_name() + "_" + test->name();
}

// In the child: standard output goes to a file that the parent reads after.
inline void sendStdoutTo(const std::string& path) {
    std::fflush(stdout);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) _exit(99);
    dup2(fd, 1);
    close(fd);
}

inline std::string readAndRemove(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    std::remove(path.c_str());
    return text.str();
}

}  // namespace exit_output_detail

// `body` must end the process. Standard error must match `expectedStderr`:
// a plain string is compared exactly. Failures are reported as ordinary test
// failures; use SCOPED_TRACE at the call site to name the case.
template <typename Body>
std::string stdoutOfExit(Body body, int status,
                         const testing::Matcher<const std::string&>& expectedStderr) {
    const std::string path = exit_output_detail::outputPath();
    std::remove(path.c_str());
    EXPECT_EXIT(
        {
            exit_output_detail::sendStdoutTo(path);
            body();
        },
        testing::ExitedWithCode(status), expectedStderr);
    return exit_output_detail::readAndRemove(path);
}
