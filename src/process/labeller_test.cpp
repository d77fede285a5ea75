#include "process/labeller.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "process/process_table.h"
#include "support/options_of.h"
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
            Labeller labeller = labellerOf(flags, proc.lastHandle());
            std::string base = titles ? "worker: busy" : "worker";
            EXPECT_EQ(labeller.label(*worker), base + row.decoration) << "flags " << flags;
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
        Labeller labeller = labellerOf(flags, proc.lastHandle());
        auto decorated = [&](const char* text, const char* pid) {
            return text + (pids != 0 ? "(" + std::string(pid) + ")" : "");
        };
        EXPECT_EQ(labeller.label(*table.find(10)), decorated("empty", "10"));
        EXPECT_EQ(labeller.label(*table.find(11)), decorated("gone", "11"));
        EXPECT_EQ(labeller.label(*table.find(12)), decorated("t\\011i\\012t^[l\\e", "12"));
        EXPECT_EQ(labeller.label(*table.find(13)), decorated("retitled: idle", "13"));
        EXPECT_EQ(labeller.label(*table.find(14)), decorated("blank", "14"));
        EXPECT_EQ(labeller.label(*table.find(15)), decorated("bare", "15"));
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
            Labeller labeller = labellerOf(flags, proc.lastHandle());
            std::string expected = uidChanges != 0 ? c.label : std::string(Labeller::name(*node));
            EXPECT_EQ(labeller.label(*node), expected)
                << c.kind << (uidChanges != 0 ? "" : ", without -u");
        }
    }
}

TEST(LabelTest, EmptyNameGivesDecorationsOnly) {
    ProcFixture proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init"});
    proc.add({.pid = 7, .ppid = 1, .name = ""});
    OptionFlags flags = Flag::showPids;
    ProcessTable table = proc.snapshot(flags);
    Labeller labeller = labellerOf(flags, proc.lastHandle());
    EXPECT_EQ(table.find(7)->name(), "");
    EXPECT_EQ(labeller.label(*table.find(7)), "(7)");
    EXPECT_EQ(labeller.label(*table.find(7)), "(7)");
}

// With titles and arguments both shown, the title and the arguments come
// from one reading of the vector: a process that changes its command line
// in between shows the one it had when its label was made.
TEST(ArgumentsTest, TitleAndArgumentsComeFromOneReading) {
    ProcFixture proc;
    addWorker(proc, {"worker: busy", "--x", "a\tb"});
    proc.add({.pid = 813, .ppid = 1, .name = "other", .arguments = {"other", "--y"}});
    const OptionFlags flags = Flag::showTitles | Flag::arguments;
    ProcessTable table = proc.snapshot(flags);
    Labeller labeller = labellerOf(flags, proc.lastHandle());
    ProcessNode& worker = *table.find(812);
    EXPECT_EQ(labeller.label(worker), "worker: busy");
    proc.writeFile("812/cmdline", std::string("worker: idle\0--z\0", 17));
    const std::span<const std::string> arguments = labeller.arguments(worker);
    EXPECT_EQ(std::vector<std::string>(arguments.begin(), arguments.end()),
              (std::vector<std::string>{"--x", "a\\011b"}));
    // Another process's vector is read afresh, and so is the first one's
    // once another was read in between.
    const std::span<const std::string> others = labeller.arguments(*table.find(813));
    EXPECT_EQ(std::vector<std::string>(others.begin(), others.end()),
              (std::vector<std::string>{"--y"}));
    const std::span<const std::string> again = labeller.arguments(worker);
    EXPECT_EQ(std::vector<std::string>(again.begin(), again.end()),
              (std::vector<std::string>{"--z"}));
}

}  // namespace
