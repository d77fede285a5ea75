// Compaction through the whole run sequence: what folds, what it prints,
// and folding runs at once against comparing them pairwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "cli/output_options.h"
#include "cli/run.h"
#include "process/compaction.h"
#include "process/root_choice.h"
#include "process/user_names.h"
#include "render/drawing_set.h"
#include "render/line_writer.h"
#include "render/tree_printer.h"
#include "support/escapes.h"
#include "support/folding_examples.h"
#include "support/in_process_run.h"
#include "support/memory_stream.h"
#include "support/options_of.h"
#include "support/proc_fixture.h"
#include "support/synthetic_forest.h"

namespace {

// The folding examples printed by the run in pid mode on their top.
class FoldingExamplePrinted : public testing::TestWithParam<FoldingExample> {};

TEST_P(FoldingExamplePrinted, PrintsAsDescribed) {
    const FoldingExample& example = GetParam();
    const ExampleProcesses processes = processesOf(example);
    const pid_t highlightPid =
        example.highlighted != nullptr ? processes.pid(example.highlighted) : 0;
    EXPECT_EQ(printInProcess(processes.processes,
                             {.flags = OptionFlags(example.flags | Flag::pid), .rootPid = 1},
                             highlightPid),
              example.output);
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, FoldingExamplePrinted,
                         testing::ValuesIn(foldingExamples()),
                         [](const testing::TestParamInfo<FoldingExample>& param) {
                             return param.param.title;
                         });

// Compaction among the roots, outside pid mode: what folds and what prints.
struct RootsCase {
    const char* title;
    std::vector<FakeProcess> processes;
    OptionFlags flags;
    pid_t highlightPid;
    std::string output;
    std::map<pid_t, std::string> folds;  // (foldOf) every other node alone
    std::set<pid_t> highlighted;         // exactly these nodes
};

void PrintTo(const RootsCase& c, std::ostream* out) { *out << c.title; }

// init; x 5 and x 6, and sh 7 (with sleep 8), all three children of the
// absent 900; sh 9 (with sleep 10), child of the absent 901.
const std::vector<FakeProcess> rootsForest = {
    process(1, 0, "init"),  process(5, 900, "x"),  process(6, 900, "x"),    process(7, 900, "sh"),
    process(8, 7, "sleep"), process(9, 901, "sh"), process(10, 9, "sleep"),
};

class RootsCaseTest : public testing::TestWithParam<RootsCase> {};

TEST_P(RootsCaseTest, FoldsAsDescribed) {
    const RootsCase& c = GetParam();
    ProcFixture proc;
    for (const FakeProcess& p : c.processes) proc.add(p);
    const OptionFlags flags = c.flags;
    ProcessTable table = proc.snapshot(flags, c.highlightPid);
    EXPECT_EQ(printInProcess(table, proc.lastHandle(), {.flags = flags}), c.output);
    for (ProcessNode& node : table) {
        const pid_t pid = node.kinfo.ki_pid;
        auto expected = c.folds.find(pid);
        EXPECT_EQ(foldOf(node), expected == c.folds.end() ? alone : expected->second)
            << "pid " << pid;
        EXPECT_EQ(node.highlight, c.highlighted.count(pid) == 1) << "pid " << pid;
        EXPECT_NE(node.compactable, Compactable::unknown) << "pid " << pid;
    }
}

const RootsCase rootsCases[] = {
    {"RootsFoldAmongThemselves",
     rootsForest,
     0,
     0,
     "init\n2*[sh---sleep]\n2*[x]\n",
     {{5, headOf(2)}, {6, hidden}, {7, headOf(2)}, {9, hidden}},
     {}},
    {"HiddenRootsPrintNothingInPidOrder",
     rootsForest,
     Flag::numericSort,
     0,
     "init\n2*[x]\n2*[sh---sleep]\n",
     {{5, headOf(2)}, {6, hidden}, {7, headOf(2)}, {9, hidden}},
     {}},
    {"HighlightPassesAmongRoots",
     {process(1, 0, "init"), process(7, 900, "sh"), process(8, 7, "sleep"), process(9, 901, "sh"),
      process(10, 9, "sleep")},
     Flag::highlight,
     10,
     "init\n2*[" + bold("sh") + "---" + bold("sleep") + "]\n",
     {{7, headOf(2)}, {9, hidden}},
     {7, 8, 9, 10}},
};

INSTANTIATE_TEST_SUITE_P(Roots, RootsCaseTest, testing::ValuesIn(rootsCases),
                         [](const testing::TestParamInfo<RootsCase>& param) {
                             return param.param.title;
                         });

TEST(CompactionTest, NoCompactLeavesEveryNodeAlone) {
    ProcFixture proc;
    for (const FakeProcess& p : processesOf(foldingExamples()[0]).processes) proc.add(p);
    const OptionFlags flags = Flag::pid | Flag::noCompact;
    ProcessTable table = proc.snapshot(flags);
    EXPECT_EQ(printInProcess(table, proc.lastHandle(), {.flags = flags, .rootPid = 1}),
              "init-+-sh-+-sleep\n"
              "     |    `-sleep\n"
              "     `-sh-+-sleep\n"
              "          `-sleep\n");
    for (ProcessNode& node : table) {
        EXPECT_EQ(foldOf(node), alone);
        EXPECT_EQ(node.compactable, Compactable::unknown);
    }
}

// Random forests for checking that folding a run in one pass gives exactly
// what comparing its entries pairwise gives.
struct Shape {
    std::string name;
    uid_t uid = 0;
    std::vector<Shape> children;
};

class ForestMaker {
  public:
    explicit ForestMaker(unsigned seed) : random(seed) {}

    // The records of a forest of a few trees, with shuffled pids; some
    // records have a missing parent so that they are roots.
    SyntheticRecords make() {
        std::vector<Shape> roots;
        const int treeCount = pick(1, 4);
        for (int i = 0; i < treeCount; ++i) roots.push_back(shape(0));
        // Roots share names and shapes too.
        if (chance(0.5)) roots.push_back(mutated(roots.front()));
        if (chance(0.3)) roots.push_back(roots.front());
        std::vector<std::pair<const Shape*, int>> flat;  // shape, index of parent (-1 for none)
        for (const Shape& root : roots) flatten(root, -1, flat);
        std::vector<pid_t> pids(flat.size());
        for (std::size_t i = 0; i < pids.size(); ++i) pids[i] = static_cast<pid_t>(i + 2);
        std::shuffle(pids.begin(), pids.end(), random);
        SyntheticRecords made;
        for (std::size_t i = 0; i < flat.size(); ++i) {
            const pid_t ppid =
                flat[i].second < 0 ? 1000000 : pids[static_cast<std::size_t>(flat[i].second)];
            made.add(pids[i], ppid, flat[i].first->name, flat[i].first->uid);
        }
        return made;
    }

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
    bool chance(double p) { return std::bernoulli_distribution(p)(random); }

  private:
    std::string name() {
        static const char* const names[] = {"a", "b", "ab", "c"};
        return names[pick(0, 3)];
    }

    Shape shape(int depth) {
        Shape made{name(), chance(0.15) ? 65534u : 0u, {}};
        if (depth >= 4 || chance(0.35)) return made;
        const int kind = pick(0, 9);
        if (kind == 0 && depth <= 2) {
            // A long run of one name: a few kinds of subtree, repeated and
            // shuffled, so that several classes share the run.
            std::vector<Shape> kinds;
            const int kindCount = pick(1, 4);
            for (int i = 0; i < kindCount; ++i) {
                Shape kindShape = shape(depth + 2);
                kindShape.name = "run";
                kinds.push_back(kindShape);
            }
            const int length = pick(8, 30);
            for (int i = 0; i < length; ++i) {
                const Shape& base = kinds[static_cast<std::size_t>(pick(0, kindCount - 1))];
                made.children.push_back(chance(0.2) ? mutated(base) : base);
            }
        } else if (kind <= 4) {
            // Copies of one subtree, some changed a little.
            Shape base = shape(depth + 1);
            const int copies = pick(2, 5);
            for (int i = 0; i < copies; ++i)
                made.children.push_back(chance(0.3) ? mutated(base) : base);
        } else {
            const int count = pick(1, 3);
            for (int i = 0; i < count; ++i) made.children.push_back(shape(depth + 1));
        }
        if (chance(0.3)) made.children.push_back(shape(depth + 1));
        std::shuffle(made.children.begin(), made.children.end(), random);
        return made;
    }

    // A copy with one change somewhere: a name, a user, a child more or
    // fewer, or no children at all.
    Shape mutated(Shape copy) {
        Shape* node = &copy;
        while (!node->children.empty() && chance(0.6))
            node = &node->children[static_cast<std::size_t>(
                pick(0, static_cast<int>(node->children.size()) - 1))];
        switch (pick(0, 4)) {
            case 0:
                node->name = name();
                break;
            case 1:
                node->uid = node->uid == 0 ? 65534 : 0;
                break;
            case 2:
                node->children.push_back({name(), 0, {}});
                break;
            case 3:
                if (!node->children.empty()) node->children.pop_back();
                break;
            default:
                node->children.clear();
                break;
        }
        return copy;
    }

    void flatten(const Shape& node, int parent, std::vector<std::pair<const Shape*, int>>& flat) {
        flat.emplace_back(&node, parent);
        const int self = static_cast<int>(flat.size()) - 1;
        for (const Shape& child : node.children) flatten(child, self, flat);
    }

    std::mt19937 random;
};

// One forest compacted by one Compactor: the table, and what it prints in
// name order and in pid order.
struct CompactedForest {
    // The table is made with --numeric-sort as well, so that it has the
    // pid-keyed indexes to print by; nothing else depends on that bit.
    CompactedForest(OptionFlags flags, const std::vector<kinfo_proc>& records,
                    const std::vector<pid_t>& marked, pid_t highlightPid, std::size_t runLength)
        : table(tableOf(flags | Flag::numericSort | Flag::highlight, records, highlightPid)) {
        for (pid_t pid : marked) table.find(pid)->highlight = true;
        for (ProcessNode& node : table) highlightedBefore.push_back(node.highlight);
        Roots roots = chooseRoots(table, Selection{});
        Labeller labeller(optionsOf(flags).labels, nullptr, roots);
        Compactor compactor(runLength);
        foldTrees(roots, labeller, compactor);
        const OutputOptions options = outputOptionsOf(flags);
        MemoryStream byNameOutput;
        LineWriter byNameWriter({}, options, byNameOutput.stream());
        for (ProcessNode* node : roots.byName)
            printTree(*node, byNameWriter, labeller, node->childrenByName, options);
        byName = byNameOutput.text();
        MemoryStream byPidOutput;
        LineWriter byPidWriter({}, options, byPidOutput.stream());
        for (ProcessNode& node : table)
            if (node.root) printTree(node, byPidWriter, labeller, node.childrenByPid, options);
        byPid = byPidOutput.text();
    }

    ProcessTable table;
    std::vector<bool> highlightedBefore;
    std::string byName;
    std::string byPid;
};

TEST(CompactorTest, FoldingRunsAtOnceAgreesWithPairwiseComparison) {
    std::size_t largestGroup = 0;
    int passedHighlights = 0;
    int groupsInLongRuns = 0;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        ForestMaker maker(seed);
        const SyntheticRecords made = maker.make();
        const std::vector<kinfo_proc>& records = made.records;
        const OptionFlags flags = maker.chance(0.5) ? Flag::uidChanges : 0;
        std::vector<pid_t> marked;
        const int highlightCount = maker.pick(0, 3);
        const int count = static_cast<int>(records.size());
        for (int i = 0; i < highlightCount; ++i)
            marked.push_back(records[static_cast<std::size_t>(maker.pick(0, count - 1))].ki_pid);
        const pid_t highlightPid =
            records[static_cast<std::size_t>(maker.pick(0, count - 1))].ki_pid;

        CompactedForest pairwise(flags, records, marked, highlightPid, SIZE_MAX);
        for (std::size_t runLength :
             {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{8}}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", runs of " + std::to_string(runLength));
            CompactedForest grouped(flags, records, marked, highlightPid, runLength);
            ASSERT_EQ(grouped.table.size(), pairwise.table.size());
            auto a = pairwise.table.begin();
            auto b = grouped.table.begin();
            for (; a != pairwise.table.end(); ++a, ++b) {
                ASSERT_EQ(a->kinfo.ki_pid, b->kinfo.ki_pid);
                EXPECT_EQ(foldOf(*b), foldOf(*a)) << "pid " << a->kinfo.ki_pid;
                EXPECT_EQ(b->compactable, a->compactable) << "pid " << a->kinfo.ki_pid;
                EXPECT_EQ(b->highlight, a->highlight) << "pid " << a->kinfo.ki_pid;
            }
            EXPECT_EQ(grouped.byName, pairwise.byName);
            EXPECT_EQ(grouped.byPid, pairwise.byPid);
            if (testing::Test::HasFailure()) return;
        }
        std::size_t index = 0;
        for (ProcessNode& node : pairwise.table) {
            if (node.fold.part() == Fold::head) {
                largestGroup = std::max<std::size_t>(largestGroup, node.fold.groupSize());
                if (node.name() == "run") ++groupsInLongRuns;
            }
            if (node.highlight && !pairwise.highlightedBefore[index]) ++passedHighlights;
            ++index;
        }
    }
    // The forests must really have exercised what is compared.
    EXPECT_GE(largestGroup, 3u);
    EXPECT_GT(groupsInLongRuns, 0);
    EXPECT_GT(passedHighlights, 0);
    std::cout << "largest group " << largestGroup << ", groups in long runs " << groupsInLongRuns
              << ", highlights passed " << passedHighlights << "\n";
}

}  // namespace
