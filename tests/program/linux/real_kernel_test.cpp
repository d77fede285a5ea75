// The process model on the live kernel: a tree spawned by the test is found
// in a real snapshot as it was built, and kernel threads stay out unless
// asked for.
// needs: the /proc reader compared with /proc, and /proc-specific checks
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

}  // namespace
