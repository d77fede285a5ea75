// vindle under valgrind's memcheck: a full run reads every process, its
// arguments and its user, and must end without a memory error and without
// a lost block. The kernel handle is never closed but stays reachable, which
// memcheck does not count as a leak.
// ctest: slow cost=60
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/program/run_program.h"

namespace {

std::string valgrindPath() {
    ProgramResult found = runProgram("/bin/sh", {"-c", "command -v valgrind"});
    std::string path = found.out.substr(0, found.out.find('\n'));
    return found.status == 0 ? path : std::string();
}

TEST(ValgrindTest, FullRunsHaveNoErrorAndLoseNothing) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "this build carries AddressSanitizer, which cannot run under valgrind";
#endif
    const std::string valgrind = valgrindPath();
    if (valgrind.empty()) GTEST_SKIP() << "valgrind is not installed";
    const std::vector<std::vector<std::string>> optionSets{{"-a", "-t", "-u"},
                                                           {"-t", "-n", "-p", "-H1", "-U"}};
    for (const std::vector<std::string>& options : optionSets) {
        std::vector<std::string> arguments{"--error-exitcode=99", "--leak-check=full",
                                           "--show-leak-kinds=definite,indirect,possible",
                                           "--errors-for-leak-kinds=definite,indirect,possible",
                                           vindlePath()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        ProgramOptions limit;
        limit.timeoutSeconds = 300;
        ProgramResult result = runProgram(valgrind, arguments, limit);
        SCOPED_TRACE(testing::PrintToString(options));
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_NE(result.err.find("ERROR SUMMARY: 0 errors"), std::string::npos) << result.err;
        EXPECT_NE(result.out, "");
    }
}

}  // namespace
