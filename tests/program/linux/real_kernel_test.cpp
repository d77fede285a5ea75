// The process model on the live kernel: a tree spawned by the test is found
// in a real snapshot as it was built, and kernel threads stay out unless
// asked for.
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
#include "support/system/kernel_threads.h"
#include "support/lines.h"
#include "support/proc_fixture.h"
#include "support/program/process_tree.h"
#include "support/program/run_program.h"

namespace {

std::vector<std::string> argumentsOf(SourceHandle& source, ProcessNode& node) {
    std::vector<std::string> words;
    char** argv = readArguments(source, node.record.pid, ArgumentExtent::all).words;
    for (; argv != nullptr && *argv != nullptr; ++argv) words.emplace_back(*argv);
    return words;
}

class RealKernelTest : public testing::Test {
  protected:
    // A snapshot of the live process table through a source of its own,
    // kept open as long as the test.
    ProcessTable takeSnapshot(OptionFlags flags, pid_t highlightPid) {
        sources.push_back(openProcessSource());
        return snapshotForest(*sources.back(), flags, highlightPid);
    }

    std::vector<ProcessSource> sources;
};

TEST_F(RealKernelTest, SpawnedTreeIsFoundWithItsParentsNamesArgumentsAndUsers) {
    std::vector<std::string> big{"rk-big"};
    for (char fill = 'a'; fill < 'a' + 8; ++fill) big.push_back(std::string(128 * 1024 - 1, fill));
    const bool otherUser = ProcessTree::canSwitchUsers();
    ProcessPlan top{.name = "rk-top",
                    .argv = {"/usr/sbin/rk-top", "--flag", "", "with space", ""},
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
    EXPECT_EQ(topNode->parent->record.pid, getpid());
    for (ProcessNode* child : {titled, user, odd, zombie}) EXPECT_EQ(child->parent, topNode);
    EXPECT_EQ(inherit->parent, user);
    EXPECT_EQ(bigNode->parent, user);
    EXPECT_EQ(topNode->childrenByName.size(), 4u);
    EXPECT_EQ(user->childrenByName.size(), 2u);

    EXPECT_EQ(topNode->name(), "rk-top");
    EXPECT_STREQ(odd->record.name, "odd) (\nname\\");
    EXPECT_EQ(odd->name(), "odd) (\\012name\\");
    EXPECT_EQ(zombie->name(), "rk-zombie");

    // An empty argument between others shows; one at the end cannot be told
    // from the padding of a title, and does not.
    SourceHandle& source = *sources.back();
    EXPECT_EQ(argumentsOf(source, *topNode),
              (std::vector<std::string>{"/usr/sbin/rk-top", "--flag", "", "with space"}));
    EXPECT_EQ(argumentsOf(source, *titled), (std::vector<std::string>{"rk-titled: busy"}));
    EXPECT_EQ(argumentsOf(source, *bigNode), big);
    EXPECT_EQ(argumentsOf(source, *inherit), (std::vector<std::string>{"rk-inherit"}));
    EXPECT_TRUE(argumentsOf(source, *zombie).empty());

    for (ProcessNode* each : {topNode, titled, user, inherit, bigNode, odd, zombie})
        EXPECT_FALSE(each->record.kernel);

    // With -u the records come from status, with the real uid and the name
    // in the kernel's escapes, decoded to the same raw bytes.
    const OptionFlags withUids = Flag::uidChanges;
    ProcessTable uids = takeSnapshot(withUids, 0);
    auto record = [&](const char* key) {
        ProcessNode* found = uids.find(tree.pid(key));
        const ProcessRecord missing{.realUid = 12345, .name = "(missing)"};
        return found != nullptr ? found->record : missing;
    };
    const uid_t own = getuid();
    const uid_t other = otherUser ? 65534 : own;
    EXPECT_EQ(record("rk-top").realUid, own);
    EXPECT_EQ(record("rk-top/rk-titled").realUid, own);
    EXPECT_EQ(record("rk-top/rk-user").realUid, other);
    EXPECT_EQ(record("rk-top/rk-user/rk-inherit").realUid, other);
    EXPECT_EQ(record("rk-top/rk-user/rk-big").realUid, other);
    EXPECT_STREQ(record("odd").name, "odd) (\nname\\");
    EXPECT_EQ(record("rk-top/rk-user").ppid, topNode->record.pid);
}

TEST_F(RealKernelTest, HighlightRunsFromASpawnedProcessUpThroughTheTest) {
    ProcessTree tree("rk-top(rk-a(rk-leaf) rk-b)");
    OptionFlags flags = Flag::highlight;
    ProcessTable table = takeSnapshot(flags, tree.pid("rk-top/rk-a/rk-leaf"));
    std::set<pid_t> expected;
    for (ProcessNode* up = table.find(getpid()); up != nullptr; up = up->parent)
        expected.insert(up->record.pid);
    expected.insert({tree.pid("rk-top"), tree.pid("rk-top/rk-a"), tree.pid("rk-top/rk-a/rk-leaf")});
    std::set<pid_t> marked;
    for (ProcessNode& node : table)
        if (node.highlight) marked.insert(node.record.pid);
    EXPECT_EQ(marked, expected);
    EXPECT_FALSE(table.find(tree.pid("rk-top/rk-b"))->highlight);
}

TEST_F(RealKernelTest, KernelThreadsAreRetainedOnlyWhenAskedFor) {
    const std::set<pid_t> before = kernelThreads();
    if (before.empty()) GTEST_SKIP() << "no kernel threads visible in /proc";

    OptionFlags plain = 0;
    ProcessTable table = takeSnapshot(plain, 0);
    OptionFlags kernel = Flag::showKernel;
    ProcessTable all = takeSnapshot(kernel, 0);
    // Only kernel threads that lived through both snapshots count: the pid
    // of one that ended meanwhile may already belong to another process.
    std::set<pid_t> steady;
    for (pid_t pid : kernelThreads())
        if (before.count(pid) != 0) steady.insert(pid);

    for (ProcessNode& node : table) {
        EXPECT_EQ(steady.count(node.record.pid), 0u) << node.name();
        EXPECT_FALSE(node.record.kernel) << node.name();
    }
    EXPECT_NE(table.find(1), nullptr);
    EXPECT_NE(table.find(getpid()), nullptr);

    for (pid_t pid : steady) {
        ProcessNode* node = all.find(pid);
        ASSERT_NE(node, nullptr) << "kernel thread " << pid << " missing with -k";
        EXPECT_TRUE(node->record.kernel) << node->name();
    }
    if (ProcessNode* kthreadd = all.find(2); kthreadd != nullptr && steady.count(2) != 0) {
        EXPECT_EQ(kthreadd->parent, nullptr);
        EXPECT_FALSE(kthreadd->childrenByName.empty());
    }
}

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
