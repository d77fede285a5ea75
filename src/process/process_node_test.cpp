#include "process/process_node.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "process/process_table.h"
#include "support/proc_fixture.h"

namespace {

constexpr uid_t daemonUid = 1;  // "daemon" in Debian's base passwd

// init (pid 1, root) with the child worker (pid 812, daemon) below it.
void addWorker(ProcFixture& proc, std::vector<std::string> arguments = {"worker: busy", "--x"}) {
    proc.add({.pid = 1, .ppid = 0, .name = "init", .uid = 0, .arguments = {"init"}});
    proc.add({.pid = 812,
              .ppid = 1,
              .name = "worker",
              .uid = daemonUid,
              .arguments = std::move(arguments)});
}

TEST(LabelTest, DecorationsByArgumentsPidsAndUser) {
    struct Row {
        bool arguments;
        bool pids;
        bool user;
        const char* decoration;  // what follows the base text
    };
    const Row rows[] = {
        {false, false, false, ""},        {false, true, false, "(812)"},
        {false, false, true, "(daemon)"}, {false, true, true, "(812,daemon)"},
        {true, false, false, ""},         {true, true, false, ",812"},
        {true, false, true, ",daemon"},   {true, true, true, ",812,daemon"},
    };
    for (bool titles : {false, true}) {
        for (const Row& row : rows) {
            OptionFlags flags = (row.arguments ? Flag::arguments : 0) |
                                (row.pids ? Flag::showPids : 0) |
                                (row.user ? Flag::uidChanges : 0) | (titles ? Flag::showTitles : 0);
            ProcFixture proc;
            addWorker(proc);
            ProcessTable table = proc.snapshot(flags);
            ProcessNode* worker = table.find(812);
            ASSERT_NE(worker, nullptr);
            std::string base = titles ? "worker: busy" : "worker";
            EXPECT_EQ(worker->label(), base + row.decoration) << "flags " << flags;
            EXPECT_EQ(worker->name(), "worker");  // a title never becomes the name
        }
    }
}

TEST(LabelTest, TitleFallsBackToTheNameWhenUnreadableOrEmpty) {
    ProcFixture proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init", .arguments = {"init"}});
    proc.add(
        {.pid = 10, .ppid = 1, .name = "empty"});  // empty cmdline, as a kernel thread or zombie
    proc.add({.pid = 11, .ppid = 1, .name = "gone", .arguments = {"gone"}});
    proc.add({.pid = 12, .ppid = 1, .name = "odd", .arguments = {"t\ti\nt\x1bl\\e", "arg"}});
    proc.add({.pid = 13, .ppid = 1, .name = "retitled", .arguments = {"x"}});
    proc.writeFile("13/cmdline", "retitled: idle");  // rewritten, no NUL at the end
    // An empty title: exec'd with argv[0] = "", with and without arguments.
    proc.add({.pid = 14, .ppid = 1, .name = "blank", .arguments = {"", "arg"}});
    proc.add({.pid = 15, .ppid = 1, .name = "bare", .arguments = {""}});
    std::filesystem::remove(proc.root() + "/11/cmdline");
    for (OptionFlags pids : {Flag::showPids, OptionFlags{0}}) {
        OptionFlags flags = Flag::showTitles | pids;
        ProcessTable table = proc.snapshot(flags);
        auto decorated = [&](const char* text, const char* pid) {
            return text + (pids != 0 ? "(" + std::string(pid) + ")" : "");
        };
        EXPECT_EQ(table.find(10)->label(), decorated("empty", "10"));
        EXPECT_EQ(table.find(11)->label(), decorated("gone", "11"));
        EXPECT_EQ(table.find(12)->label(), decorated("t\\011i\\012t^[l\\e", "12"));
        EXPECT_EQ(table.find(13)->label(), decorated("retitled: idle", "13"));
        EXPECT_EQ(table.find(14)->label(), decorated("blank", "14"));
        EXPECT_EQ(table.find(15)->label(), decorated("bare", "15"));
    }
}

TEST(LabelTest, UserShownByKindOfNode) {
    // Pids: 1 init (root user), 10 a (daemon) below it, 11 b (daemon) below
    // a, 12 c (root) below a, 20 d (daemon) whose parent is not in the
    // table, 21 e (root) likewise, 30 f (a uid with no password entry)
    // below init.
    struct Case {
        const char* kind;
        OptionFlags mode;  // Flag::pid, Flag::user or none
        pid_t pid;
        bool root;
        const char* label;
    };
    const Case cases[] = {
        {"all-trees root, not uid 0", 0, 20, true, "d(daemon)"},
        {"all-trees root, uid 0", 0, 21, true, "e"},
        {"all-trees root, uid 0 at the top", 0, 1, true, "init"},
        {"user-mode root with a parent of another user", Flag::user, 10, true, "a"},
        {"user-mode root without a parent", Flag::user, 20, true, "d"},
        {"pid-mode root, parent of another user", Flag::pid, 10, false, "a(daemon)"},
        {"pid-mode root, parent of the same user", Flag::pid, 11, false, "b"},
        {"pid-mode root without a parent", Flag::pid, 20, false, "d"},
        {"child of another user", 0, 12, false, "c(root)"},
        {"child of the same user", 0, 11, false, "b"},
        {"child of another user in user mode", Flag::user, 12, false, "c(root)"},
        {"uid without a password entry", 0, 30, false, "f(54321)"},
    };
    for (const Case& c : cases) {
        ProcFixture proc;
        proc.add({.pid = 1, .ppid = 0, .name = "init", .uid = 0});
        proc.add({.pid = 10, .ppid = 1, .name = "a", .uid = daemonUid});
        proc.add({.pid = 11, .ppid = 10, .name = "b", .uid = daemonUid});
        proc.add({.pid = 12, .ppid = 10, .name = "c", .uid = 0});
        proc.add({.pid = 20, .ppid = 999, .name = "d", .uid = daemonUid});
        proc.add({.pid = 21, .ppid = 999, .name = "e", .uid = 0});
        proc.add({.pid = 30, .ppid = 1, .name = "f", .uid = 54321});
        for (OptionFlags uidChanges : {Flag::uidChanges, OptionFlags{0}}) {
            OptionFlags flags = c.mode | uidChanges;
            ProcessTable table = proc.snapshot(flags);
            ProcessNode* node = table.find(c.pid);
            ASSERT_NE(node, nullptr) << c.kind;
            node->root = c.root;
            std::string expected = uidChanges != 0 ? c.label : std::string(node->name());
            EXPECT_EQ(node->label(), expected) << c.kind << (uidChanges != 0 ? "" : ", without -u");
        }
    }
}

TEST(LabelTest, EmptyNameGivesDecorationsOnly) {
    ProcFixture proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init"});
    proc.add({.pid = 7, .ppid = 1, .name = ""});
    OptionFlags flags = Flag::showPids;
    ProcessTable table = proc.snapshot(flags);
    EXPECT_EQ(table.find(7)->name(), "");
    EXPECT_EQ(table.find(7)->label(), "(7)");
    EXPECT_EQ(table.find(7)->label(), "(7)");
}

// A process whose title is its name.
FakeProcess named(pid_t pid, pid_t ppid, const std::string& name) {
    return {.pid = pid, .ppid = ppid, .name = name, .arguments = {name}};
}

TEST(SameSubtreeTest, ComparesLabelsAndChildrenAlongTheFirstChildChain) {
    ProcFixture proc;
    // Under init: a (b (c)), a (b (c) z), a (b), a (b (d)), a2.
    for (const FakeProcess& p :
         {named(1, 0, "init"), named(10, 1, "a"), named(11, 10, "b"), named(12, 11, "c"),
          named(20, 1, "a"), named(21, 20, "b"), named(22, 21, "c"), named(23, 20, "z"),
          named(30, 1, "a"), named(31, 30, "b"), named(40, 1, "a"), named(41, 40, "b"),
          named(42, 41, "d"), named(50, 1, "a2")})
        proc.add(p);
    const OptionFlags flags = Flag::pid;
    ProcessTable table = proc.snapshot(flags);
    ProcessNode& first = *table.find(10);
    EXPECT_TRUE(first.sameSubtree(*table.find(20)));   // a later child differs
    EXPECT_FALSE(first.sameSubtree(*table.find(30)));  // the chain ends early
    EXPECT_FALSE(first.sameSubtree(*table.find(40)));  // a label differs two levels down
    EXPECT_FALSE(first.sameSubtree(*table.find(50)));  // the labels differ
    EXPECT_FALSE(table.find(31)->sameSubtree(*table.find(11)));
}

TEST(SameSubtreeTest, PassesHighlightsOnlyOnSuccessAndOnlyFromTheOther) {
    ProcFixture proc;
    // Under init: a (b (c)) three times, the third ending in x instead.
    for (const FakeProcess& p :
         {named(1, 0, "init"), named(10, 1, "a"), named(11, 10, "b"), named(12, 11, "c"),
          named(20, 1, "a"), named(21, 20, "b"), named(22, 21, "c"), named(30, 1, "a"),
          named(31, 30, "b"), named(32, 31, "x")})
        proc.add(p);
    const OptionFlags flags = Flag::pid;
    ProcessTable table = proc.snapshot(flags);
    for (pid_t pid : {11, 22, 30, 32}) table.find(pid)->highlight = true;

    ASSERT_TRUE(table.find(10)->sameSubtree(*table.find(20)));
    EXPECT_FALSE(table.find(10)->highlight);
    EXPECT_TRUE(table.find(11)->highlight);   // never cleared
    EXPECT_TRUE(table.find(12)->highlight);   // from 22, in the same position
    EXPECT_FALSE(table.find(20)->highlight);  // never from this node to the other
    EXPECT_FALSE(table.find(21)->highlight);

    // The chains part only at the bottom: the top's highlight stays behind.
    ASSERT_FALSE(table.find(10)->sameSubtree(*table.find(30)));
    EXPECT_FALSE(table.find(10)->highlight);
}

}  // namespace
