// The process model on the live kernel: a tree spawned by the test is found
// in a real snapshot as it was built, and kernel threads stay out unless
// asked for.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/kvm.h"
#include "process/process_table.h"
#include "support/proc_fixture.h"
#include "support/process_tree.h"
#include "support/run_program.h"

namespace {

std::vector<std::string> argumentsOf(ProcessNode& node) {
    std::vector<std::string> words;
    char** argv = kvm_getargv(node.kvm, &node.kinfo, 0);
    for (; argv != nullptr && *argv != nullptr; ++argv) words.emplace_back(*argv);
    return words;
}

// Pids of the kernel threads, read from /proc/PID/status on its own terms.
std::set<pid_t> kernelThreads() {
    std::set<pid_t> pids;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return pids;
    while (dirent* entry = readdir(proc)) {
        char* end = nullptr;
        long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0') continue;
        std::ifstream status(std::string("/proc/") + entry->d_name + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line == "Kthread:\t1") pids.insert(static_cast<pid_t>(pid));
            if (line.rfind("Kthread:", 0) == 0) break;
        }
    }
    closedir(proc);
    return pids;
}

class RealKernelTest : public testing::Test {
  protected:
    // A snapshot of the live process table through a handle of its own,
    // kept open as long as the test and so as long as the table.
    ProcessTable takeSnapshot(const OptionFlags& flags, pid_t highlightPid) {
        handles.emplace_back(openKernel());
        return ::takeSnapshot(handles.back().get(), flags, highlightPid);
    }

    std::vector<KvmHandle> handles;
};

TEST_F(RealKernelTest, SpawnedTreeIsFoundWithItsParentsNamesArgumentsAndUsers) {
    std::vector<std::string> big{"rk-big"};
    for (char fill = 'a'; fill < 'a' + 8; ++fill) big.push_back(std::string(128 * 1024 - 1, fill));
    const bool otherUser = ProcessTree::canSwitchUsers();
    ProcessPlan top{.name = "rk-top",
                    .argv = {"/usr/sbin/rk-top", "--flag", "with space", ""},
                    .children = {
                        {.name = "rk-titled",
                         .argv = {"rk-titled", "--some-long-option=1"},
                         .title = "rk-titled: busy"},
                        {.name = "rk-user",
                         .uid = otherUser ? std::optional<uid_t>(65534) : std::nullopt,
                         .children = {{.name = "rk-inherit"}, {.name = "rk-big", .argv = big}}},
                        {.name = "odd) (\nname\\", .label = "odd"},
                        {.name = "rk-zombie", .zombie = true},
                    }};
    ProcessTree tree(top);

    OptionFlags flags = 0;
    ProcessTable table = takeSnapshot(flags, 0);
    auto node = [&](const char* key) {
        ProcessNode* found = table.find(tree.pid(key));
        EXPECT_NE(found, nullptr) << key;
        return found;
    };
    ProcessNode* topNode = node("rk-top");
    ProcessNode* titled = node("rk-top/rk-titled");
    ProcessNode* user = node("rk-top/rk-user");
    ProcessNode* inherit = node("rk-top/rk-user/rk-inherit");
    ProcessNode* bigNode = node("rk-top/rk-user/rk-big");
    ProcessNode* odd = node("odd");
    ProcessNode* zombie = node("rk-top/rk-zombie");
    ASSERT_FALSE(HasFailure());

    ASSERT_NE(topNode->parent, nullptr);
    EXPECT_EQ(topNode->parent->kinfo.ki_pid, getpid());
    for (ProcessNode* child : {titled, user, odd, zombie}) EXPECT_EQ(child->parent, topNode);
    EXPECT_EQ(inherit->parent, user);
    EXPECT_EQ(bigNode->parent, user);
    EXPECT_EQ(topNode->childrenByPid.size(), 4u);
    EXPECT_EQ(user->childrenByName.size(), 2u);

    EXPECT_EQ(topNode->name(), "rk-top");
    EXPECT_STREQ(odd->kinfo.ki_comm, "odd) (\nname\\");
    EXPECT_EQ(odd->name(), "odd) (\\012name\\");
    EXPECT_EQ(zombie->name(), "rk-zombie");

    EXPECT_EQ(argumentsOf(*topNode),
              (std::vector<std::string>{"/usr/sbin/rk-top", "--flag", "with space", ""}));
    EXPECT_EQ(argumentsOf(*titled), (std::vector<std::string>{"rk-titled: busy"}));
    EXPECT_EQ(argumentsOf(*bigNode), big);
    EXPECT_EQ(argumentsOf(*inherit), (std::vector<std::string>{"rk-inherit"}));
    EXPECT_TRUE(argumentsOf(*zombie).empty());

    const uid_t own = getuid();
    const uid_t other = otherUser ? 65534 : own;
    EXPECT_EQ(topNode->kinfo.ki_ruid, own);
    EXPECT_EQ(titled->kinfo.ki_ruid, own);
    EXPECT_EQ(user->kinfo.ki_ruid, other);
    EXPECT_EQ(inherit->kinfo.ki_ruid, other);
    EXPECT_EQ(bigNode->kinfo.ki_ruid, other);
    for (ProcessNode* each : {topNode, titled, user, inherit, bigNode, odd, zombie})
        EXPECT_EQ(each->kinfo.ki_flag & P_SYSTEM, 0);
}

TEST_F(RealKernelTest, HighlightRunsFromASpawnedProcessUpThroughTheTest) {
    ProcessTree tree("rk-top(rk-a(rk-leaf) rk-b)");
    OptionFlags flags = Flag::highlight;
    ProcessTable table = takeSnapshot(flags, tree.pid("rk-top/rk-a/rk-leaf"));
    std::set<pid_t> expected;
    for (ProcessNode* up = table.find(getpid()); up != nullptr; up = up->parent)
        expected.insert(up->kinfo.ki_pid);
    expected.insert({tree.pid("rk-top"), tree.pid("rk-top/rk-a"), tree.pid("rk-top/rk-a/rk-leaf")});
    std::set<pid_t> marked;
    for (ProcessNode& node : table)
        if (node.highlight) marked.insert(node.kinfo.ki_pid);
    EXPECT_EQ(marked, expected);
    EXPECT_FALSE(table.find(tree.pid("rk-top/rk-b"))->highlight);
}

TEST_F(RealKernelTest, KernelThreadsAreRetainedOnlyWhenAskedFor) {
    std::set<pid_t> kthreads = kernelThreads();
    if (kthreads.empty()) GTEST_SKIP() << "no kernel threads visible in /proc";

    OptionFlags plain = 0;
    ProcessTable table = takeSnapshot(plain, 0);
    for (ProcessNode& node : table) {
        EXPECT_EQ(kthreads.count(node.kinfo.ki_pid), 0u) << node.name();
        EXPECT_EQ(node.kinfo.ki_flag & P_SYSTEM, 0) << node.name();
    }
    EXPECT_NE(table.find(1), nullptr);
    EXPECT_NE(table.find(getpid()), nullptr);

    OptionFlags kernel = Flag::showKernel;
    ProcessTable all = takeSnapshot(kernel, 0);
    std::size_t seen = 0;
    for (pid_t pid : kthreads) {
        ProcessNode* node = all.find(pid);
        if (node == nullptr) continue;  // exited meanwhile
        ++seen;
        EXPECT_NE(node->kinfo.ki_flag & P_SYSTEM, 0) << node->name();
    }
    EXPECT_GT(seen, kthreads.size() / 2);
    if (ProcessNode* kthreadd = all.find(2); kthreadd != nullptr && kthreads.count(2) != 0) {
        EXPECT_EQ(kthreadd->parent, nullptr);
        EXPECT_FALSE(kthreadd->childrenByPid.empty());
    }
}

TEST_F(RealKernelTest, VindlePrintsNoKernelThreadWithoutDashK) {
    std::set<pid_t> kthreads = kernelThreads();
    ProcessTree tree("rk-top(rk-child)");
    // Pids shown, lines never cut, plain characters: every process appears
    // as "name(pid)".
    ProgramResult plain = runVindle({"-p", "-l", "-A"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err, "");
    EXPECT_NE(plain.out.find("(1)"), std::string::npos);
    EXPECT_NE(plain.out.find("rk-top(" + std::to_string(tree.topPid()) + ")"), std::string::npos)
        << plain.out;
    EXPECT_NE(plain.out.find("rk-child(" + std::to_string(tree.pid("rk-top/rk-child")) + ")"),
              std::string::npos);
    for (pid_t pid : kthreads)
        EXPECT_EQ(plain.out.find("(" + std::to_string(pid) + ")"), std::string::npos)
            << "kernel thread " << pid;

    if (kthreads.count(2) == 0) return;
    ProgramResult kernel = runVindle({"-p", "-l", "-A", "-k"});
    ASSERT_EQ(kernel.status, 0) << kernel.err;
    EXPECT_NE(kernel.out.find("kthreadd(2)"), std::string::npos) << kernel.out;
    std::set<pid_t> still = kernelThreads();
    for (pid_t pid : kthreads) {
        if (still.count(pid) == 0) continue;
        EXPECT_NE(kernel.out.find("(" + std::to_string(pid) + ")"), std::string::npos)
            << "kernel thread " << pid;
    }
}

}  // namespace
