#include "platform/system_process.h"

#include <gtest/gtest.h>

namespace {

TEST(SystemProcessTest, OnlyKernelThreadsAreSystemProcessesOnLinux) {
    struct Case {
        pid_t pid;
        pid_t ppid;
        int flag;
        bool system;
    };
    const Case cases[] = {
        {2, 0, P_SYSTEM, true},     // kthreadd
        {40, 2, P_SYSTEM, true},    // a kernel worker
        {1, 0, 0, false},           // init, of the machine or of a namespace
        {7, 0, 0, false},           // a shell entered into a pid namespace from outside
        {9, 7, 0, false},           // its child
        {12, 1, 0x4 | 0x1, false},  // other flag bits are no mark
    };
    for (const Case& c : cases) {
        kinfo_proc record{};
        record.ki_pid = c.pid;
        record.ki_ppid = c.ppid;
        record.ki_flag = c.flag;
        EXPECT_EQ(isSystemProcess(record), c.system) << "pid " << c.pid;
    }
}

}  // namespace
