#include "platform/linux/proc_mount.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

int openDirectory(const char* path) { return open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC); }

TEST(ProcMountTest, TellsProcFromAnOrdinaryDirectory) {
    char error[_POSIX2_LINE_MAX] = {};
    int proc = openDirectory("/proc");
    ASSERT_GE(proc, 0);
    EXPECT_TRUE(isProcFilesystem(proc, "/proc", error));
    close(proc);

    char pattern[] = "/tmp/vindle-notproc-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    int plain = openDirectory(pattern);
    ASSERT_GE(plain, 0);
    EXPECT_FALSE(isProcFilesystem(plain, "/proc", error));
    EXPECT_STREQ(error, "/proc is not a proc filesystem (is proc mounted there?)");
    close(plain);
    rmdir(pattern);
}

TEST(ProcMountTest, ADescriptorThatCannotBeAskedIsNoProcFilesystem) {
    char error[_POSIX2_LINE_MAX] = {};
    EXPECT_FALSE(isProcFilesystem(-1, "/proc", error));
    EXPECT_EQ(std::string(error).rfind("/proc: ", 0), 0u) << error;
}

}  // namespace
