// The process-tree spawner that the whole-program tests build on, checked
// against what the kernel reports of each process.
#include "support/program/process_tree.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <stdexcept>

#include "support/system/process_state.h"

namespace {

// What the kernel reports of `pid`; a test fails when it reports nothing.
ProcessState stateOf(pid_t pid) {
    const std::optional<ProcessState> state = processState(pid);
    if (state) return *state;
    ADD_FAILURE() << "no state of process " << pid;
    ProcessState unreadable;
    unreadable.parent = unreadable.group = -1;
    unreadable.uid = unreadable.gid = ~0u;
    unreadable.name = "(unreadable)";
    return unreadable;
}

std::pair<uid_t, gid_t> idsOf(pid_t pid) {
    const ProcessState state = stateOf(pid);
    return {state.uid, state.gid};
}

std::string joinedWords(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += word + '\0';
    return text;
}

bool gone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

TEST(ProcessTreeTest, CompactTextGivesNamesShapesAndRepeats) {
    ProcessPlan top = ProcessTree::parse(" init( getty*3 sshd(bash(vim) bash)\tcron ) ");
    EXPECT_EQ(top.name, "init");
    ASSERT_EQ(top.children.size(), 5u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(top.children[i].name, "getty");
    EXPECT_EQ(top.children[3].name, "sshd");
    ASSERT_EQ(top.children[3].children.size(), 2u);
    EXPECT_EQ(top.children[3].children[0].children.at(0).name, "vim");
    EXPECT_TRUE(top.children[3].children[1].children.empty());
    EXPECT_EQ(top.children[4].name, "cron");
    EXPECT_EQ(&top.at("init/sshd/bash#1/vim"), &top.children[3].children[0].children[0]);
    EXPECT_EQ(&top.at("init/getty#3"), &top.children[2]);
    EXPECT_THROW(top.at("init/getty"), std::out_of_range);      // three match
    EXPECT_THROW(top.at("init/sshd/bash"), std::out_of_range);  // two match
    EXPECT_THROW(top.at("init/getty#4"), std::out_of_range);
    EXPECT_THROW(top.at("sshd"), std::out_of_range);  // paths start at the top

    for (const char* bad : {"", "a b", "a(b", "a)", "a*0", "a*", "(a)", "a*2"})
        EXPECT_THROW(ProcessTree::parse(bad), std::invalid_argument) << '"' << bad << '"';
}

TEST(ProcessTreeTest, SpawnsTheDescribedTreeAndTearsItDown) {
    std::vector<pid_t> pids;
    {
        ProcessPlan top = ProcessTree::parse("init(a*2(leaf) b)");
        top.at("init/b").label = "the b";
        top.at("init/b").argv = {"/usr/bin/b", "--flag", "", "two words"};
        ProcessTree tree(top);
        pids = tree.pids();
        ASSERT_EQ(pids.size(), 6u);
        pid_t init = tree.pid("init");
        EXPECT_EQ(init, tree.topPid());
        EXPECT_EQ(tree.pid("the b"), tree.pid("init/b"));

        const char* paths[] = {"init",     "init/a#1",      "init/a#1/leaf",
                               "init/a#2", "init/a#2/leaf", "init/b"};
        for (std::size_t i = 0; i < 6; ++i) {
            pid_t pid = tree.pid(paths[i]);
            EXPECT_EQ(pid, pids[i]) << paths[i];
            ProcessState state = stateOf(pid);
            EXPECT_EQ(state.group, init) << paths[i];
            EXPECT_FALSE(state.zombie) << paths[i];
        }
        EXPECT_EQ(stateOf(init).parent, getpid());
        EXPECT_EQ(stateOf(tree.pid("init/a#1")).parent, init);
        EXPECT_EQ(stateOf(tree.pid("init/a#2/leaf")).parent, tree.pid("init/a#2"));
        EXPECT_EQ(stateOf(tree.pid("init/b")).parent, init);
        EXPECT_LT(tree.pid("init/a#1"), tree.pid("init/a#2"));
        EXPECT_LT(tree.pid("init/a#2"), tree.pid("init/b"));

        EXPECT_EQ(stateOf(init).name, "init");
        EXPECT_EQ(stateOf(init).arguments, std::string("init\0", 5));
        EXPECT_EQ(stateOf(tree.pid("init/a#2/leaf")).name, "leaf");
        EXPECT_EQ(stateOf(tree.pid("the b")).arguments,
                  joinedWords({"/usr/bin/b", "--flag", "", "two words"}));
        EXPECT_EQ(stateOf(tree.pid("the b")).name, "b");
        EXPECT_THROW(tree.pid("init/c"), std::out_of_range);
    }
    for (pid_t pid : pids) EXPECT_TRUE(gone(pid)) << pid;
}

TEST(ProcessTreeTest, OddNamesAndArgumentsReachTheKernelUnchanged) {
    const std::string fifteen = "fifteen-bytes-x";
    const std::string odd = "a) (b\n\t\\\x1b[1m";
    const std::string highBytes = "\xc2\x9b\xff\x7f";
    ProcessTree tree(
        ProcessPlan{.name = "top",
                    .children = {{.name = fifteen, .label = "long"},
                                 {.name = odd, .argv = {odd, "\x01\x7f\xe9"}, .label = "odd"},
                                 {.name = highBytes, .label = "high"}}});
    EXPECT_EQ(stateOf(tree.pid("long")).name, fifteen);
    EXPECT_EQ(stateOf(tree.pid("odd")).name, odd);
    EXPECT_EQ(stateOf(tree.pid("odd")).arguments, joinedWords({odd, "\x01\x7f\xe9"}));
    EXPECT_EQ(stateOf(tree.pid("high")).name, highBytes);

    EXPECT_THROW(ProcessTree(ProcessPlan{.name = fifteen + "y"}), std::invalid_argument);
    EXPECT_THROW(ProcessTree(ProcessPlan{.name = ""}), std::invalid_argument);
    EXPECT_THROW(ProcessTree(ProcessPlan{.name = std::string("a\0b", 3)}), std::invalid_argument);
}

TEST(ProcessTreeTest, RewrittenTitleIsAllTheKernelReports) {
    ProcessTree tree(
        ProcessPlan{.name = "top",
                    .children = {{.name = "worker",
                                  .argv = {"worker", "--long-option=value", "x"},
                                  .title = "worker: idle"},
                                 {.name = "exact", .argv = {"ab", "c"}, .title = "abcd"}}});
    EXPECT_EQ(stateOf(tree.pid("top/worker")).arguments, std::string("worker: idle\0", 13));
    EXPECT_EQ(stateOf(tree.pid("top/exact")).arguments, std::string("abcd\0", 5));
    EXPECT_EQ(stateOf(tree.pid("top/worker")).name, "worker");

    EXPECT_THROW(ProcessTree(ProcessPlan{.name = "x", .argv = {"ab"}, .title = "abc"}),
                 std::invalid_argument);
}

TEST(ProcessTreeTest, ZombieStaysUnreapedWithAnEmptyCommandLine) {
    ProcessPlan top = ProcessTree::parse("top(alive dead)");
    top.at("top/dead").zombie = true;
    top.at("top/dead").argv = {"dead", "with", "arguments"};
    ProcessTree withZombie(top);
    pid_t dead = withZombie.pid("top/dead");
    EXPECT_TRUE(stateOf(dead).zombie);
    EXPECT_EQ(stateOf(dead).parent, withZombie.topPid());
    EXPECT_EQ(stateOf(dead).arguments, "");
    EXPECT_EQ(stateOf(dead).name, "dead");
    EXPECT_FALSE(stateOf(withZombie.pid("top/alive")).zombie);

    ProcessPlan bad = ProcessTree::parse("top(dead(child))");
    bad.at("top/dead").zombie = true;
    EXPECT_THROW(ProcessTree{bad}, std::invalid_argument);
}

TEST(ProcessTreeTest, CarriesAnArgumentVectorOfOneMebibyte) {
    std::vector<std::string> argv{"big"};
    for (char fill = 'a'; fill < 'a' + 8; ++fill) argv.push_back(std::string(128 * 1024 - 1, fill));
    ProcessTree tree(ProcessPlan{.name = "big", .argv = argv});
    std::string cmdline = stateOf(tree.topPid()).arguments;
    EXPECT_EQ(cmdline.size(), 4u + 8 * 128 * 1024);
    EXPECT_EQ(cmdline, joinedWords(argv));
}

TEST(ProcessTreeTest, ChildrenRunUnderTheirOwnUser) {
    if (!ProcessTree::canSwitchUsers()) GTEST_SKIP() << "switching users needs root";
    ProcessPlan top = ProcessTree::parse("top(nobody(inherits) own(other) root)");
    top.at("top/nobody").uid = 65534;
    top.at("top/own").uid = 65534;
    top.at("top/own").gid = 100;
    top.at("top/own/other").uid = 1234;
    ProcessTree tree(top);
    EXPECT_EQ(idsOf(tree.topPid()), std::make_pair(uid_t{0}, gid_t{0}));
    EXPECT_EQ(idsOf(tree.pid("top/nobody")), std::make_pair(uid_t{65534}, gid_t{65534}));
    EXPECT_EQ(idsOf(tree.pid("top/nobody/inherits")), std::make_pair(uid_t{65534}, gid_t{65534}));
    EXPECT_EQ(idsOf(tree.pid("top/own")), std::make_pair(uid_t{65534}, gid_t{100}));
    EXPECT_EQ(idsOf(tree.pid("top/own/other")), std::make_pair(uid_t{1234}, gid_t{1234}));
    EXPECT_EQ(idsOf(tree.pid("top/root")), std::make_pair(uid_t{0}, gid_t{0}));
    EXPECT_EQ(stateOf(tree.pid("top/own/other")).name, "other");
}

TEST(ProcessTreeTest, TreeDiesWhenATestThrowsOrKillsItEarly) {
    std::vector<pid_t> pids;
    try {
        ProcessTree tree("top(a(b))");
        pids = tree.pids();
        throw std::logic_error("test failure");
    } catch (const std::logic_error&) {
    }
    ASSERT_EQ(pids.size(), 3u);
    for (pid_t pid : pids) EXPECT_TRUE(gone(pid)) << pid;

    ProcessTree tree("top(a)");
    ProcessTree moved(std::move(tree));
    pids = moved.pids();
    moved.kill();
    for (pid_t pid : pids) EXPECT_TRUE(gone(pid)) << pid;
}

}  // namespace
