#include "process/process_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/options_of.h"
#include "support/proc_fixture.h"
#include "support/synthetic_forest.h"

namespace {

kinfo_proc record(pid_t pid, pid_t ppid, const char* name, uid_t uid = 0, bool system = false) {
    kinfo_proc r{};
    r.ki_pid = pid;
    r.ki_ppid = ppid;
    r.ki_ruid = uid;
    r.ki_flag = system ? P_SYSTEM : 0;
    r.ki_comm = name;  // a literal: it outlives the record
    return r;
}

// A table made straight from records in the given order, linked.
ProcessTable linkedTable(OptionFlags flags, const std::vector<kinfo_proc>& records) {
    return tableOf(flags, records);
}

// Every pid in the table with its parent's pid (0 for none).
std::map<pid_t, pid_t> parents(ProcessTable& table) {
    std::map<pid_t, pid_t> result;
    for (ProcessNode& node : table)
        result[node.kinfo.ki_pid] = node.parent ? node.parent->kinfo.ki_pid : 0;
    return result;
}

// The invariants of a linked table: one parent at most, listed in both
// indexes of exactly that parent, and every chain of parents ends. `flags`
// are those the table was made with.
void expectWellFormed(ProcessTable& table, OptionFlags flags) {
    const bool byPid = (flags & Flag::numericSort) != 0;
    std::map<const ProcessNode*, int> listed;
    for (ProcessNode& node : table) {
        // The pid-keyed index is made for --numeric-sort only.
        if (byPid)
            EXPECT_EQ(node.childrenByPid.size(), node.childrenByName.size());
        else
            EXPECT_TRUE(node.childrenByPid.empty());
        for (ProcessNode* child : node.childrenByPid) {
            EXPECT_EQ(child->parent, &node);
            ++listed[child];
        }
        for (ProcessNode* child : node.childrenByName) {
            EXPECT_EQ(child->parent, &node);
            if (!byPid) ++listed[child];
        }
    }
    for (ProcessNode& node : table) {
        EXPECT_EQ(listed[&node], node.parent != nullptr ? 1 : 0) << node.kinfo.ki_pid;
        EXPECT_NE(node.parent, &node);
        std::size_t steps = 0;
        for (const ProcessNode* up = &node; up != nullptr && steps <= table.size(); up = up->parent)
            ++steps;
        EXPECT_LE(steps, table.size()) << "cycle above " << node.kinfo.ki_pid;
    }
}

TEST(ProcessTableTest, LinksChildrenBelowTheirParents) {
    ProcFixture proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init", .arguments = {"init"}});
    proc.add({.pid = 5, .ppid = 1, .name = "sh", .arguments = {"sh"}});
    OptionFlags flags = 0;
    ProcessTable table = proc.snapshot(flags);
    ASSERT_EQ(table.size(), 2u);
    ProcessNode* shell = table.find(5);
    ASSERT_NE(shell, nullptr);
    EXPECT_EQ(shell->parent, table.find(1));
}

TEST(ProcessTableTest, RetentionWithAndWithoutKernelProcesses) {
    ProcFixture proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init"});
    proc.add({.pid = 2, .ppid = 0, .name = "kthreadd", .kthread = true});
    proc.add({.pid = 3, .ppid = 2, .name = "kworker/0:0", .kthread = true});
    proc.add({.pid = 4, .ppid = 2, .name = "ksoftirqd/0", .kthread = true, .kthreadLine = false});
    proc.add({.pid = 40,
              .ppid = 1,
              .name = "kthread-child",
              .kthread = true});  // a kernel thread elsewhere
    proc.add({.pid = 50, .ppid = 1, .name = "sshd"});
    proc.add({.pid = 51, .ppid = 50, .name = "bash"});
    proc.add({.pid = 60, .ppid = 0, .name = "orphan0"});  // parent pid 0, no kernel thread
    proc.add({.pid = 61, .ppid = 60, .name = "below0"});
    proc.add({.pid = 70, .ppid = -1, .name = "negative"});

    OptionFlags plain = 0;
    ProcessTable shown = proc.snapshot(plain);
    // Only kernel threads are hidden: a user process with parent pid 0 (one
    // entered into a pid namespace from outside) stays, with its subtree.
    EXPECT_EQ(parents(shown),
              (std::map<pid_t, pid_t>{{1, 0}, {50, 1}, {51, 50}, {60, 0}, {61, 60}, {70, 0}}));
    expectWellFormed(shown, plain);

    OptionFlags kernel = Flag::showKernel;
    ProcessTable all = proc.snapshot(kernel);
    EXPECT_EQ(parents(all), (std::map<pid_t, pid_t>{{1, 0},
                                                    {2, 0},
                                                    {3, 2},
                                                    {4, 2},
                                                    {40, 1},
                                                    {50, 1},
                                                    {51, 50},
                                                    {60, 0},
                                                    {61, 60},
                                                    {70, 0}}));
    expectWellFormed(all, kernel);
}

TEST(ProcessTableTest, ProcessEnteredIntoAPidNamespaceIsARootWithItsSubtree) {
    // The view from inside a pid namespace: its init and a shell entered from
    // outside both have parent pid 0; the shell's children hang below it.
    std::vector<kinfo_proc> records = {record(1, 0, "sleep"), record(7, 0, "sh", 1000),
                                       record(9, 7, "sleep", 1000), record(10, 9, "cat", 1000),
                                       record(8, 1, "sh")};
    for (OptionFlags flags : {OptionFlags{0}, OptionFlags{Flag::showKernel}}) {
        ProcessTable table = linkedTable(flags, records);
        EXPECT_EQ(parents(table), (std::map<pid_t, pid_t>{{1, 0}, {7, 0}, {8, 1}, {9, 7}, {10, 9}}))
            << "flags " << flags;
        expectWellFormed(table, flags);
    }
}

TEST(ProcessTableTest, KernelOwnProcessWithPidZeroAdoptsItsChildrenButNotItself) {
    OptionFlags kernel = Flag::showKernel;
    std::vector<kinfo_proc> records = {record(1, 0, "init"), record(0, 0, "kernel", 0, true),
                                       record(2, 0, "kthreadd", 0, true), record(9, 1, "sh")};
    ProcessTable table = linkedTable(kernel, records);
    EXPECT_EQ(parents(table), (std::map<pid_t, pid_t>{{0, 0}, {1, 0}, {2, 0}, {9, 1}}));
    EXPECT_EQ(table.find(1)->parent, table.find(0));
    EXPECT_EQ(table.find(2)->parent, table.find(0));
    EXPECT_EQ(table.find(0)->parent, nullptr);
    expectWellFormed(table, kernel);
}

TEST(ProcessTableTest, EqualNamesStandInPidOrderWhateverTheSnapshotOrder) {
    std::vector<kinfo_proc> records = {
        record(1, 0, "init"),     record(30, 1, "getty"), record(12, 1, "getty"),
        record(44, 1, "cron"),    record(5, 1, "getty"),  record(20, 1, "gett"),
        record(21, 1, "getty-x"), record(22, 1, "Getty"), record(23, 1, "")};
    const std::vector<pid_t> byName = {23, 22, 44, 20, 5, 12, 30, 21};
    const std::vector<pid_t> byPid = {5, 12, 20, 21, 22, 23, 30, 44};
    OptionFlags flags = Flag::numericSort;  // the pid-keyed index too
    std::mt19937 random(2024);
    for (int round = 0; round < 60; ++round) {
        std::vector<kinfo_proc> snapshot = records;
        if (round == 1) std::reverse(snapshot.begin(), snapshot.end());
        if (round > 1) std::shuffle(snapshot.begin(), snapshot.end(), random);
        ProcessTable table = linkedTable(flags, snapshot);
        ProcessNode* init = table.find(1);
        std::vector<pid_t> names;
        for (ProcessNode* child : init->childrenByName) names.push_back(child->kinfo.ki_pid);
        std::vector<pid_t> pids;
        for (ProcessNode* child : init->childrenByPid) pids.push_back(child->kinfo.ki_pid);
        ASSERT_EQ(names, byName) << "round " << round;
        ASSERT_EQ(pids, byPid) << "round " << round;
    }
}

TEST(ProcessTableTest, NamesCompareAsUnsignedBytes) {
    // In C.UTF-8 "é" stays two bytes above 0x7f and must sort after "z".
    std::string previous = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    OptionFlags flags = 0;
    std::vector<kinfo_proc> records = {record(1, 0, "init"), record(2, 1, "\xc3\xa9t\xc3\xa9"),
                                       record(3, 1, "z"), record(4, 1, "a")};
    ProcessTable table = linkedTable(flags, records);
    std::setlocale(LC_CTYPE, previous.c_str());
    std::vector<std::string> names;
    for (ProcessNode* child : table.find(1)->childrenByName) names.emplace_back(child->name());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "z", "\xc3\xa9t\xc3\xa9"}));
}

TEST(ProcessTableTest, EqualPidsKeepSnapshotOrderAndLookupFindsTheFirst) {
    OptionFlags flags = 0;
    std::vector<kinfo_proc> records = {record(1, 0, "init"), record(7, 1, "second-of-7"),
                                       record(3, 1, "x"), record(7, 1, "third-of-7")};
    records.insert(records.begin(), record(7, 1, "first-of-7"));
    ProcessTable table = linkedTable(flags, records);
    std::vector<std::string> order;
    for (ProcessNode& node : table) order.push_back(node.kinfo.ki_comm);
    EXPECT_EQ(order,
              (std::vector<std::string>{"init", "x", "first-of-7", "second-of-7", "third-of-7"}));
    EXPECT_STREQ(table.find(7)->kinfo.ki_comm, "first-of-7");
    EXPECT_EQ(table.find(8), nullptr);
    EXPECT_EQ(table.find(0), nullptr);
}

TEST(ProcessTableTest, HighlightMarksExactlyTheChainOfAncestors) {
    std::vector<kinfo_proc> records = {
        record(1, 0, "init"), record(10, 1, "a"), record(11, 10, "b"),  record(12, 11, "c"),
        record(13, 10, "d"),  record(20, 1, "e"), record(30, 999, "f"), record(31, 30, "g")};
    struct Case {
        OptionFlags flags;
        pid_t pid;
        std::set<pid_t> marked;
    };
    const Case cases[] = {
        {Flag::highlight, 11, {1, 10, 11}},
        {Flag::highlight, 1, {1}},
        {Flag::highlight, 31, {30, 31}},
        {Flag::highlight, 4242, {}},
        {0, 11, {}},
    };
    for (const Case& c : cases) {
        ProcessTable table = linkedTable(c.flags, records);
        if ((c.flags & Flag::highlight) != 0) table.markHighlight(c.pid);
        std::set<pid_t> marked;
        for (ProcessNode& node : table)
            if (node.highlight) marked.insert(node.kinfo.ki_pid);
        EXPECT_EQ(marked, c.marked) << "pid " << c.pid;
    }
}

TEST(ProcessTableTest, HighlightThroughTheSnapshotStep) {
    ProcFixture proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init"});
    proc.add({.pid = 10, .ppid = 1, .name = "a"});
    proc.add({.pid = 11, .ppid = 10, .name = "b"});
    proc.add({.pid = 12, .ppid = 10, .name = "c"});
    OptionFlags flags = Flag::highlight;
    ProcessTable table = proc.snapshot(flags, 11);
    std::set<pid_t> marked;
    for (ProcessNode& node : table)
        if (node.highlight) marked.insert(node.kinfo.ki_pid);
    EXPECT_EQ(marked, (std::set<pid_t>{1, 10, 11}));
}

TEST(ProcessTableTest, CyclesSelfParentsAndMissingParentsLeaveRoots) {
    OptionFlags flags = 0;
    struct Case {
        const char* what;
        std::vector<kinfo_proc> records;
        std::map<pid_t, pid_t> parents;
    };
    const Case cases[] = {
        {"two records naming each other",
         {record(7, 5, "b"), record(5, 7, "a"), record(9, 5, "c")},
         {{5, 7}, {7, 0}, {9, 5}}},
        {"a cycle of three below nothing",
         {record(3, 5, "x"), record(4, 3, "y"), record(5, 4, "z")},
         {{3, 5}, {4, 3}, {5, 0}}},
        {"a cycle hanging off a real tree",
         {record(1, 0, "init"), record(6, 8, "p"), record(8, 6, "q"), record(10, 6, "r")},
         {{1, 0}, {6, 8}, {8, 0}, {10, 6}}},
        {"self-parent",
         {record(1, 0, "init"), record(8, 8, "self"), record(9, 8, "child")},
         {{1, 0}, {8, 0}, {9, 8}}},
        {"missing parent",
         {record(1, 0, "init"), record(20, 999, "lost"), record(21, 20, "below")},
         {{1, 0}, {20, 0}, {21, 20}}},
    };
    for (const Case& c : cases) {
        ProcessTable table = linkedTable(flags, c.records);
        EXPECT_EQ(parents(table), c.parents) << c.what;
        expectWellFormed(table, flags);
        // Marking from any node ends.
        for (ProcessNode& node : table) table.markHighlight(node.kinfo.ki_pid);
    }
}

TEST(ProcessTableTest, AParentThatStartedAfterItsChildIsNotItsParent) {
    // The first 20 ended, and its pid went to a process that started
    // later: 21, orphaned, is a root rather than the newcomer's child. A
    // parent that started in the same clock tick as its child, or when
    // either start is unknown, is taken at its word.
    ProcFixture proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init", .start = 5});
    proc.add({.pid = 20, .ppid = 1, .name = "newcomer", .start = 9000});
    proc.add({.pid = 21, .ppid = 20, .name = "orphan", .start = 500});
    proc.add({.pid = 22, .ppid = 21, .name = "grandchild", .start = 501});
    proc.add({.pid = 30, .ppid = 1, .name = "parent", .start = 700});
    proc.add({.pid = 31, .ppid = 30, .name = "same tick", .start = 700});
    proc.add({.pid = 32, .ppid = 30, .name = "later", .start = 701});
    proc.add({.pid = 40, .ppid = 1, .name = "unknown", .start = 0});
    proc.add({.pid = 41, .ppid = 40, .name = "child", .start = 10});
    proc.add({.pid = 50, .ppid = 1, .name = "known", .start = 800});
    proc.add({.pid = 51, .ppid = 50, .name = "unknown child", .start = 0});
    const std::map<pid_t, pid_t> linked = {{1, 0},   {20, 1}, {21, 0},  {22, 21}, {30, 1}, {31, 30},
                                           {32, 30}, {40, 1}, {41, 40}, {50, 1},  {51, 50}};

    OptionFlags flags = 0;
    ProcessTable table = proc.snapshot(flags);
    expectWellFormed(table, flags);
    EXPECT_EQ(parents(table), linked);

    // The user's id comes from status, which has no start time: every link
    // is taken at its word.
    OptionFlags withUsers = Flag::uidChanges;
    ProcessTable unguarded = proc.snapshot(withUsers);
    std::map<pid_t, pid_t> unchecked = linked;
    unchecked[21] = 20;
    EXPECT_EQ(parents(unguarded), unchecked);
}

TEST(ProcessTableTest, CycleThroughTheSnapshotPrintsEveryProcessOnce) {
    ProcFixture proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init"});
    proc.add({.pid = 300, .ppid = 301, .name = "reused"});
    proc.add({.pid = 301, .ppid = 300, .name = "freed"});
    OptionFlags flags = Flag::highlight;
    ProcessTable table = proc.snapshot(flags, 300);
    EXPECT_EQ(parents(table), (std::map<pid_t, pid_t>{{1, 0}, {300, 301}, {301, 0}}));
    EXPECT_TRUE(table.find(300)->highlight);
    EXPECT_TRUE(table.find(301)->highlight);
    expectWellFormed(table, flags);
}

TEST(ProcessTableTest, EmptyNameAndZombieWithEmptyCommandLineAreOrdinaryChildren) {
    ProcFixture proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init", .arguments = {"init"}});
    proc.add({.pid = 5, .ppid = 1, .name = "shell", .arguments = {"sh"}});
    proc.add({.pid = 6, .ppid = 5, .name = "", .arguments = {"nameless"}});
    proc.add({.pid = 7, .ppid = 5, .name = "defunct"});  // a zombie: empty cmdline
    OptionFlags flags = Flag::showTitles;
    ProcessTable table = proc.snapshot(flags);
    EXPECT_EQ(parents(table), (std::map<pid_t, pid_t>{{1, 0}, {5, 1}, {6, 5}, {7, 5}}));
    ProcessNode* shell = table.find(5);
    ASSERT_EQ(shell->childrenByName.size(), 2u);
    EXPECT_EQ((*shell->childrenByName.begin())->name(), "");  // the empty name sorts first
    EXPECT_EQ(*shell->childrenByName.begin(), table.find(6));
    Labeller labeller = labellerOf(flags, proc.lastHandle());
    EXPECT_EQ(labeller.label(*table.find(6)), "nameless");
    EXPECT_EQ(labeller.label(*table.find(7)), "defunct");
    expectWellFormed(table, flags);
}

TEST(ProcessTableTest, EmptySnapshotGivesAnEmptyTable) {
    ProcFixture proc;
    OptionFlags flags = Flag::highlight;
    ProcessTable table = proc.snapshot(flags, 1);
    EXPECT_EQ(table.size(), 0u);
    EXPECT_EQ(table.find(1), nullptr);
}

// Only the user decorations and the user mode need the real uid; every
// other run is served by the cheaper text without it.
TEST(ProcessTableTest, TheSnapshotReadsTheUidOnlyWhenTheRunNeedsIt) {
    ProcFixture proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init", .uid = 0});
    proc.add({.pid = 2, .ppid = 1, .name = "user", .uid = 1000});
    proc.add({.pid = 3, .ppid = 1, .name = "statonly", .uid = 1000});
    std::filesystem::remove(proc.root() + "/3/status");
    struct Case {
        OptionFlags flags;
        bool readsUid;
    };
    const Case cases[] = {
        {0, false},
        {Flag::arguments | Flag::showPids | Flag::showKernel | Flag::highlight, false},
        {Flag::pid | Flag::numericSort, false},
        {Flag::uidChanges, true},
        {Flag::user, true},
        {Flag::user | Flag::uidChanges, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        ProcessTable table = proc.snapshot(c.flags);
        ASSERT_NE(table.find(2), nullptr);
        EXPECT_EQ(table.find(3) == nullptr, c.readsUid);
        if (c.readsUid) {
            EXPECT_EQ(table.find(2)->kinfo.ki_ruid, 1000u);
        }
    }
}

}  // namespace
