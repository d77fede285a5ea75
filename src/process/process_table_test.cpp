#include "process/process_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/memory_records.h"
#include "process/labeller.h"
#include "support/unit/synthetic_forest.h"

namespace {

// A process without an argument vector; `kernel`: one of the kernel's own.
MemoryProcess record(pid_t pid, pid_t ppid, const char* name, uid_t uid = 0, bool kernel = false) {
    return {.pid = pid, .ppid = ppid, .name = name, .uid = uid, .kernel = kernel};
}

const TableOptions plainTable{};
const TableOptions withKernel{.showKernel = true};
const TableOptions pidIndexed{.childOrder = ChildOrder::ByPid};

// Every pid in the table with its parent's pid (0 for none).
std::map<pid_t, pid_t> parents(ProcessTable& table) {
    std::map<pid_t, pid_t> result;
    for (ProcessNode& node : table)
        result[node.record.pid] = node.parent ? node.parent->record.pid : 0;
    return result;
}

// The invariants of a linked table: one parent at most, listed in both
// indexes of exactly that parent, and every chain of parents ends. `options`
// are those the table was made with.
void expectWellFormed(ProcessTable& table, const TableOptions& options) {
    const bool byPid = (options.childOrder == ChildOrder::ByPid);
    std::map<const ProcessNode*, int> listed;
    for (ProcessNode& node : table) {
        // The pid-keyed index is made for pid order only.
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
        EXPECT_EQ(listed[&node], node.parent != nullptr ? 1 : 0) << node.record.pid;
        EXPECT_NE(node.parent, &node);
        std::size_t steps = 0;
        for (const ProcessNode* up = &node; up != nullptr && steps <= table.size(); up = up->parent)
            ++steps;
        EXPECT_LE(steps, table.size()) << "cycle above " << node.record.pid;
    }
}

TEST(ProcessTableTest, LinksChildrenBelowTheirParents) {
    const MemoryRecords records({process(1, 0, "init"), process(5, 1, "sh")});
    ProcessTable table = tableOf(records);
    ASSERT_EQ(table.size(), 2u);
    ProcessNode* shell = table.find(5);
    ASSERT_NE(shell, nullptr);
    EXPECT_EQ(shell->parent, table.find(1));
}

TEST(ProcessTableTest, RetentionWithAndWithoutKernelProcesses) {
    // Parent pid 0 or less marks a kernel process on FreeBSD (init aside),
    // where the kernel's own processes all have it: the processes with it
    // here are no kernel processes on Linux, and on FreeBSD they are.
    const MemoryRecords records({
        record(1, 0, "init"),
        record(2, 0, "kthreadd", 0, true),
        record(3, 2, "kworker/0:0", 0, true),
        record(4, 2, "ksoftirqd/0", 0, true),
        record(40, 1, "kthread-child", 0, true),  // a kernel process elsewhere
        record(50, 1, "sshd"),
        record(51, 50, "bash"),
        record(60, 0, "orphan0"),  // parent pid 0, unmarked
        record(61, 60, "below0"),
        record(70, -1, "negative"),
    });
    // Only what the kernel marks is hidden: a user process with parent pid 0
    // (one entered into a pid namespace from outside) stays, with its
    // subtree. (FreeBSD's reader marks its parentless processes but init.)
    const std::map<pid_t, pid_t> unmarked = {{1, 0}, {50, 1}, {51, 50}, {60, 0}, {61, 60}, {70, 0}};
    ProcessTable shown = tableOf(records, plainTable);
    EXPECT_EQ(parents(shown), unmarked);
    expectWellFormed(shown, plainTable);

    const TableOptions& kernel = withKernel;
    ProcessTable all = tableOf(records, kernel);
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
    const MemoryRecords records({record(1, 0, "sleep"), record(7, 0, "sh", 1000),
                                 record(9, 7, "sleep", 1000), record(10, 9, "cat", 1000),
                                 record(8, 1, "sh")});
    for (const TableOptions& options : {plainTable, withKernel}) {
        ProcessTable table = tableOf(records, options);
        EXPECT_EQ(parents(table), (std::map<pid_t, pid_t>{{1, 0}, {7, 0}, {8, 1}, {9, 7}, {10, 9}}))
            << "with kernel processes: " << options.showKernel;
        expectWellFormed(table, options);
    }
}

TEST(ProcessTableTest, KernelOwnProcessWithPidZeroAdoptsItsChildrenButNotItself) {
    const TableOptions& kernel = withKernel;
    const MemoryRecords records({record(1, 0, "init"), record(0, 0, "kernel", 0, true),
                                 record(2, 0, "kthreadd", 0, true), record(9, 1, "sh")});
    ProcessTable table = tableOf(records, kernel);
    EXPECT_EQ(parents(table), (std::map<pid_t, pid_t>{{0, 0}, {1, 0}, {2, 0}, {9, 1}}));
    EXPECT_EQ(table.find(1)->parent, table.find(0));
    EXPECT_EQ(table.find(2)->parent, table.find(0));
    EXPECT_EQ(table.find(0)->parent, nullptr);
    expectWellFormed(table, kernel);
}

TEST(ProcessTableTest, EqualNamesStandInPidOrderWhateverTheSnapshotOrder) {
    const std::vector<MemoryProcess> records = {
        record(1, 0, "init"),     record(30, 1, "getty"), record(12, 1, "getty"),
        record(44, 1, "cron"),    record(5, 1, "getty"),  record(20, 1, "gett"),
        record(21, 1, "getty-x"), record(22, 1, "Getty"), record(23, 1, "")};
    const std::vector<pid_t> byName = {23, 22, 44, 20, 5, 12, 30, 21};
    const std::vector<pid_t> byPid = {5, 12, 20, 21, 22, 23, 30, 44};
    std::mt19937 random(2024);
    for (int round = 0; round < 60; ++round) {
        std::vector<MemoryProcess> order = records;
        if (round == 1) std::reverse(order.begin(), order.end());
        if (round > 1) std::shuffle(order.begin(), order.end(), random);
        const MemoryRecords snapshot(order);
        ProcessTable table = tableOf(snapshot, pidIndexed);  // the pid-keyed index too
        ProcessNode* init = table.find(1);
        std::vector<pid_t> names;
        for (ProcessNode* child : init->childrenByName) names.push_back(child->record.pid);
        std::vector<pid_t> pids;
        for (ProcessNode* child : init->childrenByPid) pids.push_back(child->record.pid);
        ASSERT_EQ(names, byName) << "round " << round;
        ASSERT_EQ(pids, byPid) << "round " << round;
    }
}

TEST(ProcessTableTest, NamesCompareAsUnsignedBytes) {
    // In C.UTF-8 "é" stays two bytes above 0x7f and must sort after "z".
    std::string previous = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    const MemoryRecords records({record(1, 0, "init"), record(2, 1, "\xc3\xa9t\xc3\xa9"),
                                 record(3, 1, "z"), record(4, 1, "a")});
    ProcessTable table = tableOf(records);
    std::setlocale(LC_CTYPE, previous.c_str());
    std::vector<std::string> names;
    for (ProcessNode* child : table.find(1)->childrenByName) names.emplace_back(child->name());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "z", "\xc3\xa9t\xc3\xa9"}));
}

TEST(ProcessTableTest, EqualPidsKeepSnapshotOrderAndLookupFindsTheFirst) {
    const MemoryRecords records({record(7, 1, "first-of-7"), record(1, 0, "init"),
                                 record(7, 1, "second-of-7"), record(3, 1, "x"),
                                 record(7, 1, "third-of-7")});
    ProcessTable table = tableOf(records);
    std::vector<std::string> order;
    for (ProcessNode& node : table) order.push_back(node.record.name);
    EXPECT_EQ(order,
              (std::vector<std::string>{"init", "x", "first-of-7", "second-of-7", "third-of-7"}));
    EXPECT_STREQ(table.find(7)->record.name, "first-of-7");
    EXPECT_EQ(table.find(8), nullptr);
    EXPECT_EQ(table.find(0), nullptr);
}

TEST(ProcessTableTest, HighlightMarksExactlyTheChainOfAncestors) {
    const MemoryRecords records({record(1, 0, "init"), record(10, 1, "a"), record(11, 10, "b"),
                                 record(12, 11, "c"), record(13, 10, "d"), record(20, 1, "e"),
                                 record(30, 999, "f"), record(31, 30, "g")});
    struct Case {
        bool highlight;
        pid_t pid;
        std::set<pid_t> marked;
    };
    const Case cases[] = {
        {true, 11, {1, 10, 11}}, {true, 1, {1}},  {true, 31, {30, 31}},
        {true, 4242, {}},        {false, 11, {}},
    };
    for (const Case& c : cases) {
        ProcessTable table = tableOf(records);
        if (c.highlight) table.markHighlight(c.pid);
        std::set<pid_t> marked;
        for (ProcessNode& node : table)
            if (node.highlight) marked.insert(node.record.pid);
        EXPECT_EQ(marked, c.marked) << "pid " << c.pid;
    }
}

TEST(ProcessTableTest, CyclesSelfParentsAndMissingParentsLeaveRoots) {
    struct Case {
        const char* what;
        std::vector<MemoryProcess> records;
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
        const MemoryRecords records(c.records);
        ProcessTable table = tableOf(records);
        EXPECT_EQ(parents(table), c.parents) << c.what;
        expectWellFormed(table, plainTable);
        // Marking from any node ends.
        for (ProcessNode& node : table) table.markHighlight(node.record.pid);
    }
}

TEST(ProcessTableTest, AParentThatStartedAfterItsChildIsNotItsParent) {
    // The first 20 ended, and its pid went to a process that started
    // later: 21, orphaned, is a root rather than the newcomer's child. A
    // parent that started in the same clock tick as its child, or when
    // either start is unknown, is taken at its word.
    const auto started = [](pid_t pid, pid_t ppid, const char* name, std::uint64_t start) {
        return MemoryProcess{.pid = pid, .ppid = ppid, .name = name, .start = start};
    };
    const MemoryRecords records({
        started(1, 0, "init", 5),
        started(20, 1, "newcomer", 9000),
        started(21, 20, "orphan", 500),
        started(22, 21, "grandchild", 501),
        started(30, 1, "parent", 700),
        started(31, 30, "same tick", 700),
        started(32, 30, "later", 701),
        started(40, 1, "unknown", 0),
        started(41, 40, "child", 10),
        started(50, 1, "known", 800),
        started(51, 50, "unknown child", 0),
    });
    ProcessTable table = tableOf(records);
    expectWellFormed(table, plainTable);
    EXPECT_EQ(parents(table), (std::map<pid_t, pid_t>{{1, 0},
                                                      {20, 1},
                                                      {21, 0},
                                                      {22, 21},
                                                      {30, 1},
                                                      {31, 30},
                                                      {32, 30},
                                                      {40, 1},
                                                      {41, 40},
                                                      {50, 1},
                                                      {51, 50}}));
}

TEST(ProcessTableTest, CycleThroughTheSnapshotPrintsEveryProcessOnce) {
    const MemoryRecords records(
        {record(1, 0, "init"), record(300, 301, "reused"), record(301, 300, "freed")});
    ProcessTable table = tableOf(records);
    table.markHighlight(300);
    EXPECT_EQ(parents(table), (std::map<pid_t, pid_t>{{1, 0}, {300, 301}, {301, 0}}));
    EXPECT_TRUE(table.find(300)->highlight);
    EXPECT_TRUE(table.find(301)->highlight);
    expectWellFormed(table, plainTable);
}

TEST(ProcessTableTest, EmptyNameAndZombieWithEmptyCommandLineAreOrdinaryChildren) {
    MemoryRecords records({process(1, 0, "init"), process(5, 1, "shell", {"sh"}),
                           process(6, 5, "", {"nameless"}),
                           record(7, 5, "defunct")});  // a zombie: no argument vector
    ProcessTable table = tableOf(records);
    EXPECT_EQ(parents(table), (std::map<pid_t, pid_t>{{1, 0}, {5, 1}, {6, 5}, {7, 5}}));
    ProcessNode* shell = table.find(5);
    ASSERT_EQ(shell->childrenByName.size(), 2u);
    EXPECT_EQ((*shell->childrenByName.begin())->name(), "");  // the empty name sorts first
    EXPECT_EQ(*shell->childrenByName.begin(), table.find(6));
    Labeller labeller(LabelOptions{.titles = true}, records.arguments(), Roots{});
    EXPECT_EQ(labeller.label(*table.find(6)), "nameless");
    EXPECT_EQ(labeller.label(*table.find(7)), "defunct");
    expectWellFormed(table, plainTable);
}

TEST(ProcessTableTest, EmptySnapshotGivesAnEmptyTable) {
    const MemoryRecords records;
    ProcessTable table = tableOf(records);
    table.markHighlight(1);
    EXPECT_EQ(table.size(), 0u);
    EXPECT_EQ(table.find(1), nullptr);
}

}  // namespace
