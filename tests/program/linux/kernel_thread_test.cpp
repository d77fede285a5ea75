// The built vindle on the live kernel's threads: none shown without -k;
// with -k every one, below kthreadd.
// needs: Linux's kernel threads under kthreadd, read from /proc
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/process_source.h"
#include "process/process_table.h"
#include "support/lines.h"
#include "support/proc_fixture.h"
#include "support/program/process_tree.h"
#include "support/program/run_program.h"
#include "support/system/kernel_threads.h"

namespace {

// The comm of `pid` as /proc gives it, or empty when it cannot be read.
std::string commOf(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/comm");
    std::string comm;
    std::getline(file, comm);
    return comm;
}

// The built vindle on the live kernel: a spawned tree is shown with -k and
// without; kthreadd and the kernel threads only with -k, as the root of a
// tree of their own with every kernel thread below it. Every run selects a
// tree by pid, so that the names of other processes, which may contain
// anything, never meet the checks.
TEST(KernelThreadTest, ShownOnlyWhenAskedFor) {
    const std::set<pid_t> before = kernelThreads();
    ProcessTree tree("rk-top(rk-child)");
    const std::string top = std::to_string(tree.topPid());
    const std::string spawned =
        "rk-top(" + top + ")---rk-child(" + std::to_string(tree.pid("rk-top/rk-child")) + ")\n";
    // Pids shown, lines never cut, plain characters: every process appears
    // as "name(pid)".
    for (const std::vector<std::string>& options : std::vector<std::vector<std::string>>{
             {"-p", "-l", "-A", top}, {"-p", "-l", "-A", "-k", top}}) {
        const ProgramResult result = runVindle(options);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.out, spawned) << testing::PrintToString(options);
    }
    // Pid 1 is the root of its tree.
    const ProgramResult init = runVindle({"-p", "-l", "-A", "1"});
    ASSERT_EQ(init.status, 0) << init.err;
    EXPECT_EQ(init.out.rfind(commOf(1) + "(1)", 0), 0u) << init.out.substr(0, 200);
    if (before.count(2) == 0) GTEST_SKIP() << "no kthreadd visible in /proc";
    // kthreadd's tree holds kernel threads alone: all that run throughout.
    const ProgramResult plain = runVindle({"-p", "-l", "-A", "2"});
    const ProgramResult withKernel = runVindle({"-p", "-l", "-A", "-k", "2"});
    const std::set<pid_t> after = kernelThreads();
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, "") << "kthreadd shown without -k";
    ASSERT_EQ(withKernel.status, 0) << withKernel.err;
    EXPECT_EQ(withKernel.err, "");
    const std::vector<std::string> lines = linesOf(withKernel.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind(commOf(2) + "(2)", 0), 0u) << "kthreadd is not the root";
    EXPECT_GT(lines[0].size(), (commOf(2) + "(2)").size()) << "kthreadd is no root with children";
    // Only kernel threads that lived through both runs count: the pid of one
    // that ended meanwhile may already belong to another process.
    for (pid_t pid : before) {
        if (after.count(pid) == 0) continue;
        EXPECT_NE(withKernel.out.find("(" + std::to_string(pid) + ")"), std::string::npos)
            << "kernel thread " << pid << " missing with -k";
    }
    // Without -k no kernel thread is in the table: one selected shows
    // nothing; with -k it shows itself. A worker's name changes with its
    // work: only the pid is checked.
    const auto steady = std::find_if(before.begin(), before.end(),
                                     [&](pid_t pid) { return pid != 2 && after.count(pid) != 0; });
    if (steady == before.end()) return;
    const std::string pid = std::to_string(*steady);
    EXPECT_EQ(runVindle({"-p", "-l", "-A", pid}).out, "") << "kernel thread " << pid;
    const ProgramResult shown = runVindle({"-p", "-l", "-A", "-k", pid});
    if (kernelThreads().count(*steady) == 0) return;  // ended meanwhile
    const std::string mark = "(" + pid + ")\n";
    const std::string firstLine = shown.out.substr(0, shown.out.find('\n') + 1);
    EXPECT_TRUE(firstLine.size() > mark.size() &&
                firstLine.compare(firstLine.size() - mark.size(), mark.size(), mark) == 0)
        << "kernel thread " << pid << " missing with -k: " << shown.out;
}

}  // namespace
