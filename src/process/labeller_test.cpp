#include "process/labeller.h"

#include <gtest/gtest.h>
#include <pwd.h>

#include <span>
#include <string>
#include <vector>

#include "platform/memory_records.h"
#include "process/process_table.h"
#include "process/visible_text.h"
#include "support/unit/synthetic_forest.h"

namespace {

constexpr uid_t daemonUid = 1;  // "daemon" in Debian's base passwd

// What a label shows for `uid` on this machine: its name in the user
// database, or the number where it has none. Labels are made through the
// database, which differs between machines.
std::string userLabel(uid_t uid) {
    const passwd* account = getpwuid(uid);
    return account != nullptr ? visEncode(account->pw_name) : std::to_string(uid);
}

// A uid that has no entry in the user database here, from 54321 on.
uid_t uidWithoutAnEntry() {
    uid_t uid = 54321;
    while (getpwuid(uid) != nullptr) ++uid;
    return uid;
}

// init (pid 1, root) with the child worker (pid 812, daemon) below it.
void addWorker(MemoryRecords& proc, std::vector<std::string> arguments = {"worker: busy", "--x"}) {
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
        std::string decoration;  // what follows the base text
    };
    const std::string daemon = userLabel(daemonUid);
    const Row rows[] = {
        {false, false, false, ""},
        {false, true, false, "(812)"},
        {false, false, true, "(" + daemon + ")"},
        {false, true, true, "(812," + daemon + ")"},
        {true, false, false, ""},
        {true, true, false, ",812"},
        {true, false, true, "," + daemon},
        {true, true, true, ",812," + daemon},
    };
    for (bool titles : {false, true}) {
        for (const Row& row : rows) {
            const LabelOptions options{.titles = titles,
                                       .pids = row.pids,
                                       .userChanges = row.user,
                                       .argumentsFollow = row.arguments};
            MemoryRecords proc;
            addWorker(proc);
            ProcessTable table = tableOf(proc);
            ProcessNode* worker = table.find(812);
            ASSERT_NE(worker, nullptr);
            Labeller labeller(options, proc.arguments(), Roots{});
            std::string base = titles ? "worker: busy" : "worker";
            EXPECT_EQ(labeller.label(*worker), base + row.decoration)
                << "titles " << titles << ", arguments " << row.arguments << ", pids " << row.pids
                << ", user " << row.user;
            EXPECT_EQ(worker->name(), "worker");  // a title never becomes the name
        }
    }
}

TEST(LabelTest, TitleFallsBackToTheNameWhenUnreadableOrEmpty) {
    MemoryRecords proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init", .arguments = {"init"}});
    // No vector: a kernel thread or zombie (empty), a process gone or
    // hidden from this user (unreadable).
    proc.add({.pid = 10, .ppid = 1, .name = "empty"});
    proc.add({.pid = 11, .ppid = 1, .name = "gone"});
    proc.add({.pid = 12, .ppid = 1, .name = "odd", .arguments = {"t\ti\nt\x1bl\\e", "arg"}});
    proc.add({.pid = 13, .ppid = 1, .name = "retitled", .arguments = {"x"}});
    proc.setArguments(13, {"retitled: idle"});  // rewritten
    // An empty title: exec'd with argv[0] = "", with and without arguments.
    proc.add({.pid = 14, .ppid = 1, .name = "blank", .arguments = {"", "arg"}});
    proc.add({.pid = 15, .ppid = 1, .name = "bare", .arguments = {""}});
    for (bool pids : {true, false}) {
        ProcessTable table = tableOf(proc);
        Labeller labeller({.titles = true, .pids = pids}, proc.arguments(), Roots{});
        auto decorated = [&](const char* text, const char* pid) {
            return text + (pids ? "(" + std::string(pid) + ")" : "");
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
        Selection::Mode mode;
        pid_t pid;
        bool root;
        std::string label;
    };
    constexpr Selection::Mode all = Selection::Mode::allTrees;
    constexpr Selection::Mode pidMode = Selection::Mode::pid;
    constexpr Selection::Mode user = Selection::Mode::user;
    const std::string daemon = userLabel(daemonUid);
    const std::string root = userLabel(0);
    const uid_t noEntry = uidWithoutAnEntry();
    const Case cases[] = {
        {"all-trees root, not uid 0", all, 20, true, "d(" + daemon + ")"},
        {"all-trees root, uid 0", all, 21, true, "e"},
        {"all-trees root, uid 0 at the top", all, 1, true, "init"},
        {"user-mode root with a parent of another user", user, 10, true, "a"},
        {"user-mode root without a parent", user, 20, true, "d"},
        {"pid-mode root, parent of another user", pidMode, 10, false, "a(" + daemon + ")"},
        {"pid-mode root, parent of the same user", pidMode, 11, false, "b"},
        {"pid-mode root without a parent", pidMode, 20, false, "d"},
        {"child of another user", all, 12, false, "c(" + root + ")"},
        {"child of the same user", all, 11, false, "b"},
        {"child of another user in user mode", user, 12, false, "c(" + root + ")"},
        {"uid without a password entry", all, 30, false, "f(" + std::to_string(noEntry) + ")"},
    };
    for (const Case& c : cases) {
        MemoryRecords proc;
        proc.add({.pid = 1, .ppid = 0, .name = "init", .uid = 0});
        proc.add({.pid = 10, .ppid = 1, .name = "a", .uid = daemonUid});
        proc.add({.pid = 11, .ppid = 10, .name = "b", .uid = daemonUid});
        proc.add({.pid = 12, .ppid = 10, .name = "c", .uid = 0});
        proc.add({.pid = 20, .ppid = 999, .name = "d", .uid = daemonUid});
        proc.add({.pid = 21, .ppid = 999, .name = "e", .uid = 0});
        proc.add({.pid = 30, .ppid = 1, .name = "f", .uid = noEntry});
        for (bool uidChanges : {true, false}) {
            ProcessTable table = tableOf(proc, {.realUid = true});
            ProcessNode* node = table.find(c.pid);
            ASSERT_NE(node, nullptr) << c.kind;
            node->root = c.root;
            Roots roots;
            roots.mode = c.mode;
            Labeller labeller({.userChanges = uidChanges}, proc.arguments(), roots);
            const std::string expected = uidChanges ? c.label : std::string(Labeller::name(*node));
            EXPECT_EQ(labeller.label(*node), expected)
                << c.kind << (uidChanges ? "" : ", without -u");
        }
    }
}

TEST(LabelTest, EmptyNameGivesDecorationsOnly) {
    MemoryRecords proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init"});
    proc.add({.pid = 7, .ppid = 1, .name = ""});
    ProcessTable table = tableOf(proc);
    Labeller labeller({.pids = true}, proc.arguments(), Roots{});
    EXPECT_EQ(table.find(7)->name(), "");
    EXPECT_EQ(labeller.label(*table.find(7)), "(7)");
    EXPECT_EQ(labeller.label(*table.find(7)), "(7)");
}

// With titles and arguments both shown, the title and the arguments come
// from one reading of the vector: a process that changes its command line
// in between shows the one it had when its label was made.
TEST(ArgumentsTest, TitleAndArgumentsComeFromOneReading) {
    MemoryRecords proc;
    addWorker(proc, {"worker: busy", "--x", "a\tb"});
    proc.add({.pid = 813, .ppid = 1, .name = "other", .arguments = {"other", "--y"}});
    ProcessTable table = tableOf(proc);
    Labeller labeller({.titles = true, .argumentsFollow = true}, proc.arguments(), Roots{});
    ProcessNode& worker = *table.find(812);
    EXPECT_EQ(labeller.label(worker), "worker: busy");
    proc.setArguments(812, {"worker: idle", "--z"});
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

// A vector that a read cut (a process whose arguments run past what execve
// could pass) says so where it ends: its last argument ends in "...", or the
// dots stand alone when none was read; with titles alone, a title that is
// all that was read carries them.
TEST(ArgumentsTest, ACutVectorIsMarkedWhereItEnds) {
    struct Case {
        const char* what;
        std::vector<std::string> vector;
        bool cut;
        std::string title;                   // the label with titles alone
        std::vector<std::string> arguments;  // with the arguments
    };
    const Case cases[] = {
        {"whole", {"worker: busy", "--x"}, false, "worker: busy", {"--x"}},
        {"cut after arguments",
         {"worker: busy", "--x", "a\tb"},
         true,
         "worker: busy",
         {"--x", "a\\011b..."}},
        {"cut in the title", {"worker: bu"}, true, "worker: bu...", {"..."}},
        {"cut after an empty title", {""}, true, "worker", {"..."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryRecords proc;
        proc.add({.pid = 1, .ppid = 0, .name = "init", .arguments = {"init"}});
        proc.add({.pid = 812,
                  .ppid = 1,
                  .name = "worker",
                  .arguments = c.vector,
                  .argumentsCut = c.cut});
        // Labels are cached in the nodes: a table for each labeller.
        ProcessTable titled = tableOf(proc);
        Labeller titles({.titles = true}, proc.arguments(), Roots{});
        EXPECT_EQ(titles.label(*titled.find(812)), c.title);
        // With titles and arguments both, the mark stands after the
        // arguments only, once.
        ProcessTable table = tableOf(proc);
        ProcessNode& worker = *table.find(812);
        Labeller both({.titles = true, .argumentsFollow = true}, proc.arguments(), Roots{});
        EXPECT_EQ(both.label(worker), c.vector[0].empty() ? "worker" : c.vector[0]);
        const std::span<const std::string> arguments = both.arguments(worker);
        EXPECT_EQ(std::vector<std::string>(arguments.begin(), arguments.end()), c.arguments);
    }
}

}  // namespace
