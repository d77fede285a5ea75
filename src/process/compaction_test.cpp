#include "process/compaction.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/memory_records.h"
#include "support/folding_examples.h"
#include "support/unit/synthetic_forest.h"

namespace {

TEST(CompactionTest, EmptyIndexIsCompactable) {
    ChildrenByName empty;
    Labeller labeller({}, {}, Roots{});
    EXPECT_TRUE(compact(empty, labeller));
    Compactor grouped(2);
    EXPECT_TRUE(grouped.compactTree(empty, labeller));
}

TEST(CompactorTest, LaterHeadsOfARunFoldedAtOnceStillDecideCompactable) {
    // Four siblings of one name in two classes of labels: the index is not
    // compactable, however the run is folded.
    const MemoryRecords proc({process(1, 0, "init"), process(10, 1, "w", 65534),
                              process(11, 1, "w", 65534), process(12, 1, "w"),
                              process(13, 1, "w")});
    for (std::size_t runLength : {std::size_t{2}, SIZE_MAX}) {
        ProcessTable table = tableOf(proc, {.realUid = true});
        Labeller labeller({.userChanges = true}, {}, Roots{});
        Compactor compactor(runLength);
        EXPECT_FALSE(compactor.compactTree(table.find(1)->childrenByName, labeller))
            << "runs of " << runLength;
        EXPECT_EQ(foldOf(*table.find(10)), headOf(2));
        EXPECT_EQ(foldOf(*table.find(11)), hidden);
        EXPECT_EQ(foldOf(*table.find(12)), headOf(2));
        EXPECT_EQ(foldOf(*table.find(13)), hidden);
    }
}

TEST(CompactorTest, ManyClassesInOneRunFoldAsPairwiseComparisonDoes) {
    // 1,500 siblings of one name, each with a leaf of one of 500 names: 500
    // classes of three, more chains than the first table of chain ids
    // holds, all labelled alike. One hidden member's leaf is highlighted; its
    // head's leaf takes it.
    MemoryRecords made;
    const auto add = [&made](pid_t pid, pid_t ppid, const std::string& name) {
        made.add(pid, ppid, name);
    };
    constexpr pid_t siblings = 1500;
    constexpr pid_t classes = 500;
    add(1, 0, "init");
    for (pid_t i = 0; i < siblings; ++i) {
        add(2 + i, 1, "w");
        add(2 + siblings + i, 2 + i, "leaf" + std::to_string(i % classes));
    }
    const pid_t markedLeaf = 2 + siblings + 2 * classes + 7;  // third of class 7
    for (std::size_t runLength : {std::size_t{8}, SIZE_MAX}) {
        SCOPED_TRACE("runs of " + std::to_string(runLength));
        ProcessTable table = tableOf(made);
        table.find(markedLeaf)->highlight = true;
        Labeller labeller({}, {}, Roots{});
        Compactor compactor(runLength);
        EXPECT_TRUE(compactor.compactTree(table.find(1)->childrenByName, labeller));
        for (pid_t i = 0; i < siblings; ++i) {
            ProcessNode& node = *table.find(2 + i);
            ASSERT_EQ(foldOf(node), i < classes ? headOf(3) : hidden) << "sibling " << i;
            EXPECT_EQ(node.firstChild()->highlight, i == 7 || i == 2 * classes + 7)
                << "sibling " << i;
        }
    }
}

// The compaction state that the folding examples leave: pid mode on the
// top, as the run compacts it.
class FoldingExampleState : public testing::TestWithParam<FoldingExample> {};

TEST_P(FoldingExampleState, FoldsAsDescribed) {
    const FoldingExample& example = GetParam();
    const ExampleProcesses processes = processesOf(example);
    const MemoryRecords proc(processes.processes);
    ProcessTable table = tableOf(proc, {.realUid = example.userChanges});
    if (example.highlighted != nullptr) table.markHighlight(processes.pid(example.highlighted));
    ASSERT_EQ(table.size(), processes.processes.size());
    ProcessNode& top = *table.find(1);
    Roots roots;
    roots.selected = &top;
    Labeller labeller({.titles = example.showTitles, .userChanges = example.userChanges},
                      proc.arguments(), roots);
    foldTrees(roots, labeller);
    EXPECT_EQ(top.compactable == Compactable::yes, example.topCompactable);
    std::map<pid_t, std::string> folds;
    for (const auto& [path, fold] : example.folds) folds[processes.pid(path)] = fold;
    std::set<pid_t> bold;
    for (const char* path : example.bold) bold.insert(processes.pid(path));
    for (ProcessNode& node : table) {
        const pid_t pid = node.record.pid;
        auto expected = folds.find(pid);
        EXPECT_EQ(foldOf(node), expected == folds.end() ? alone : expected->second)
            << "pid " << pid;
        EXPECT_EQ(node.highlight, bold.count(pid) == 1) << "pid " << pid;
        // Compaction computes compactable for every node below what it
        // compacts, once and for all.
        EXPECT_NE(node.compactable, Compactable::unknown) << "pid " << pid;
    }
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, FoldingExampleState, testing::ValuesIn(foldingExamples()),
                         [](const testing::TestParamInfo<FoldingExample>& param) {
                             return param.param.title;
                         });

// A process whose title is its name.
MemoryProcess named(pid_t pid, pid_t ppid, const std::string& name) {
    return process(pid, ppid, name);
}

TEST(SameSubtreeTest, ComparesLabelsAndChildrenAlongTheFirstChildChain) {
    // Under init: a (b (c)), a (b (c) z), a (b), a (b (d)), a2.
    const MemoryRecords proc({named(1, 0, "init"), named(10, 1, "a"), named(11, 10, "b"),
                              named(12, 11, "c"), named(20, 1, "a"), named(21, 20, "b"),
                              named(22, 21, "c"), named(23, 20, "z"), named(30, 1, "a"),
                              named(31, 30, "b"), named(40, 1, "a"), named(41, 40, "b"),
                              named(42, 41, "d"), named(50, 1, "a2")});
    ProcessTable table = tableOf(proc);
    Labeller labeller({}, proc.arguments(), Roots{});
    ProcessNode& first = *table.find(10);
    EXPECT_TRUE(sameSubtree(first, *table.find(20), labeller));   // a later child differs
    EXPECT_FALSE(sameSubtree(first, *table.find(30), labeller));  // the chain ends early
    EXPECT_FALSE(sameSubtree(first, *table.find(40), labeller));  // a label differs two levels down
    EXPECT_FALSE(sameSubtree(first, *table.find(50), labeller));  // the labels differ
    EXPECT_FALSE(sameSubtree(*table.find(31), *table.find(11), labeller));
}

TEST(SameSubtreeTest, PassesHighlightsOnlyOnSuccessAndOnlyFromTheOther) {
    // Under init: a (b (c)) three times, the third ending in x instead.
    const MemoryRecords proc({named(1, 0, "init"), named(10, 1, "a"), named(11, 10, "b"),
                              named(12, 11, "c"), named(20, 1, "a"), named(21, 20, "b"),
                              named(22, 21, "c"), named(30, 1, "a"), named(31, 30, "b"),
                              named(32, 31, "x")});
    ProcessTable table = tableOf(proc);
    Labeller labeller({}, proc.arguments(), Roots{});
    for (pid_t pid : {11, 22, 30, 32}) table.find(pid)->highlight = true;

    ASSERT_TRUE(sameSubtree(*table.find(10), *table.find(20), labeller));
    EXPECT_FALSE(table.find(10)->highlight);
    EXPECT_TRUE(table.find(11)->highlight);   // never cleared
    EXPECT_TRUE(table.find(12)->highlight);   // from 22, in the same position
    EXPECT_FALSE(table.find(20)->highlight);  // never from this node to the other
    EXPECT_FALSE(table.find(21)->highlight);

    // The chains part only at the bottom: the top's highlight stays behind.
    ASSERT_FALSE(sameSubtree(*table.find(10), *table.find(30), labeller));
    EXPECT_FALSE(table.find(10)->highlight);
}

}  // namespace
