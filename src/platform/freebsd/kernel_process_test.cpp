#include "platform/freebsd/kernel_process.h"

#include <gtest/gtest.h>

namespace {

TEST(KernelProcessTest, KernelMarkedAndParentlessProcessesAreTheKernelsOwn) {
    struct Case {
        pid_t pid;
        pid_t ppid;
        long flag;
        bool system;
    };
    const Case cases[] = {
        {0, 0, P_KPROC | P_SYSTEM, true},   // the kernel itself
        {12, 0, P_KPROC | P_SYSTEM, true},  // a kernel process
        {20, 0, 0, true},                   // parent pid 0 without the mark
        {21, -1, 0, true},                  // a parent pid below 0
        {1, 0, P_SYSTEM, false},            // init carries P_SYSTEM and is shown
        {9, 1, P_SYSTEM, false},            // P_SYSTEM alone is no mark
        {30, 1, P_KPROC, true},             // the mark whatever the parent
        {31, 30, 0x4 | 0x1, false},         // other flag bits are no mark
    };
    for (const Case& c : cases) {
        kinfo_proc record{};
        record.ki_pid = c.pid;
        record.ki_ppid = c.ppid;
        record.ki_flag = c.flag;
        EXPECT_EQ(isKernelProcess(record), c.system) << "pid " << c.pid;
    }
}

}  // namespace
