// The steps of a run after option parsing, in-process: which roots are
// chosen and what is printed; compaction through the whole run sequence;
// and the whole run on synthetic process tables of shapes nobody would
// spawn.
#include "cli/run.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "cli/output_options.h"
#include "process/compaction.h"
#include "process/root_choice.h"
#include "process/user_names.h"
#include "render/drawing_set.h"
#include "render/line_writer.h"
#include "render/tree_printer.h"
#include "support/escapes.h"
#include "support/folding_examples.h"
#include "support/lines.h"
#include "support/memory_stream.h"
#include "support/options_of.h"
#include "support/unit/in_process_run.h"
#include "support/unit/synthetic_forest.h"

namespace {

// init (uid 0) with: zz (uid 7) -> bb (uid 8) -> cc (uid 7); dd (uid 0) ->
// aa (uid 7); and mm (uid 7), whose parent is not in the table.
const std::vector<MemoryProcess> usersForest = {
    process(1, 0, "init", 0),  process(10, 1, "zz", 7), process(11, 10, "bb", 8),
    process(12, 11, "cc", 7),  process(13, 1, "dd", 0), process(14, 13, "aa", 7),
    process(15, 999, "mm", 7),
};

struct RunCase {
    const char* title;
    OptionFlags flags;
    pid_t rootPid;
    uid_t rootUid;
    std::string output;
    std::vector<pid_t> roots;  // nodes whose root flag ends up set
};

void PrintTo(const RunCase& c, std::ostream* out) { *out << c.title; }

class RunCaseTest : public testing::TestWithParam<RunCase> {};

TEST_P(RunCaseTest, ChoosesRootsAndPrints) {
    const RunCase& c = GetParam();
    MemoryRecords proc(usersForest);
    const OptionFlags flags = c.flags;
    ProcessTable table = tableOf(flags, proc);
    EXPECT_EQ(printInProcess(table, proc.arguments(),
                             {.flags = flags, .rootPid = c.rootPid, .rootUid = c.rootUid}),
              c.output);
    for (ProcessNode& node : table) {
        const bool expected =
            std::find(c.roots.begin(), c.roots.end(), node.record.pid) != c.roots.end();
        EXPECT_EQ(node.root, expected) << "pid " << node.record.pid;
    }
}

const std::string lp = UserNames().nameOf(7);
const std::string mail = UserNames().nameOf(8);

const RunCase runCases[] = {
    // Any ancestor of the user's, not only the parent, keeps a process from
    // starting a tree; the roots never show their user.
    {"UserModeByName",
     Flag::user | Flag::uidChanges,
     0,
     7,
     "aa\nmm\nzz---bb(" + mail + ")---cc(" + lp + ")\n",
     {10, 14, 15}},
    {"UserModeByPid", Flag::user | Flag::numericSort, 0, 7, "zz---bb---cc\naa\nmm\n", {10, 14, 15}},
    {"UserWithoutProcesses", Flag::user, 0, 4242, "", {}},
    // Parentless roots other than uid 0 show their user.
    {"AllTrees",
     Flag::uidChanges,
     0,
     0,
     "init-+-dd---aa(" + lp + ")\n     `-zz(" + lp + ")---bb(" + mail + ")---cc(" + lp + ")\nmm(" +
         lp + ")\n",
     {1, 15}},
    // The selected process prints at the top but is no root: it shows its
    // user because its parent's differs.
    {"PidModeOnAChild",
     Flag::pid | Flag::uidChanges,
     11,
     0,
     "bb(" + mail + ")---cc(" + lp + ")\n",
     {}},
    {"PidModeWithoutSuchProcess", Flag::pid, 77, 0, "", {}},
    {"PidModeOnAProcessThatIsNotRetained", Flag::pid, 999, 0, "", {}},
};

INSTANTIATE_TEST_SUITE_P(Modes, RunCaseTest, testing::ValuesIn(runCases),
                         [](const testing::TestParamInfo<RunCase>& param) {
                             return param.param.title;
                         });

}  // namespace

// Compaction through the whole run sequence: what folds, what it prints,
// and folding runs at once against comparing them pairwise.
namespace {

// The folding examples printed by the run in pid mode on their top.
class FoldingExamplePrinted : public testing::TestWithParam<FoldingExample> {};

TEST_P(FoldingExamplePrinted, PrintsAsDescribed) {
    const FoldingExample& example = GetParam();
    const ExampleProcesses processes = processesOf(example);
    const pid_t highlightPid =
        example.highlighted != nullptr ? processes.pid(example.highlighted) : 0;
    const OptionFlags flags = Flag::pid | (example.showTitles ? Flag::showTitles : 0) |
                              (example.userChanges ? Flag::uidChanges : 0) |
                              (example.highlighted != nullptr ? Flag::highlight : 0);
    EXPECT_EQ(printInProcess(processes.processes, {.flags = flags, .rootPid = 1}, highlightPid),
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
    std::vector<MemoryProcess> processes;
    OptionFlags flags;
    pid_t highlightPid;
    std::string output;
    std::map<pid_t, std::string> folds;  // (foldOf) every other node alone
    std::set<pid_t> highlighted;         // exactly these nodes
};

void PrintTo(const RootsCase& c, std::ostream* out) { *out << c.title; }

// init; x 5 and x 6, and sh 7 (with sleep 8), all three children of the
// absent 900; sh 9 (with sleep 10), child of the absent 901.
const std::vector<MemoryProcess> rootsForest = {
    process(1, 0, "init"),  process(5, 900, "x"),  process(6, 900, "x"),    process(7, 900, "sh"),
    process(8, 7, "sleep"), process(9, 901, "sh"), process(10, 9, "sleep"),
};

class RootsCaseTest : public testing::TestWithParam<RootsCase> {};

TEST_P(RootsCaseTest, FoldsAsDescribed) {
    const RootsCase& c = GetParam();
    MemoryRecords proc(c.processes);
    const OptionFlags flags = c.flags;
    ProcessTable table = tableOf(flags, proc, c.highlightPid);
    EXPECT_EQ(printInProcess(table, proc.arguments(), {.flags = flags}), c.output);
    for (ProcessNode& node : table) {
        const pid_t pid = node.record.pid;
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
    MemoryRecords proc(processesOf(foldingExamples()[0]).processes);
    const OptionFlags flags = Flag::pid | Flag::noCompact;
    ProcessTable table = tableOf(flags, proc);
    EXPECT_EQ(printInProcess(table, proc.arguments(), {.flags = flags, .rootPid = 1}),
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
    MemoryRecords make() {
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
        MemoryRecords made;
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
    CompactedForest(OptionFlags flags, const MemoryRecords& records,
                    const std::vector<pid_t>& marked, pid_t highlightPid, std::size_t runLength)
        : table(tableOf(flags | Flag::numericSort | Flag::highlight, records, highlightPid)) {
        for (pid_t pid : marked) table.find(pid)->highlight = true;
        for (ProcessNode& node : table) highlightedBefore.push_back(node.highlight);
        Roots roots = chooseRoots(table, Selection{});
        Labeller labeller(optionsOf(flags).labels, {}, roots);
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
        const MemoryRecords made = maker.make();
        const std::span<const ProcessRecord> records = made.records();
        const OptionFlags flags = maker.chance(0.5) ? Flag::uidChanges : 0;
        std::vector<pid_t> marked;
        const int highlightCount = maker.pick(0, 3);
        const int count = static_cast<int>(records.size());
        for (int i = 0; i < highlightCount; ++i)
            marked.push_back(records[static_cast<std::size_t>(maker.pick(0, count - 1))].pid);
        const pid_t highlightPid = records[static_cast<std::size_t>(maker.pick(0, count - 1))].pid;

        CompactedForest pairwise(flags, made, marked, highlightPid, SIZE_MAX);
        for (std::size_t runLength :
             {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{8}}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", runs of " + std::to_string(runLength));
            CompactedForest grouped(flags, made, marked, highlightPid, runLength);
            ASSERT_EQ(grouped.table.size(), pairwise.table.size());
            auto a = pairwise.table.begin();
            auto b = grouped.table.begin();
            for (; a != pairwise.table.end(); ++a, ++b) {
                ASSERT_EQ(a->record.pid, b->record.pid);
                EXPECT_EQ(foldOf(*b), foldOf(*a)) << "pid " << a->record.pid;
                EXPECT_EQ(b->compactable, a->compactable) << "pid " << a->record.pid;
                EXPECT_EQ(b->highlight, a->highlight) << "pid " << a->record.pid;
            }
            EXPECT_EQ(grouped.byName, pairwise.byName);
            EXPECT_EQ(grouped.byPid, pairwise.byPid);
            if (testing::Test::HasFailure()) return;
        }
        std::size_t index = 0;
        for (ProcessNode& node : pairwise.table) {
            if (node.fold.part() == Fold::head) {
                largestGroup = std::max<std::size_t>(largestGroup, *node.fold.group());
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

// The whole run in-process on synthetic process tables of shapes nobody
// would spawn: a chain a million deep, a million roots, a node with a
// million children. Every test runs on a thread with the default 8 MiB
// stack, whatever the stack limit of the test process, and checks the shape
// of the output (or all of it), not only that nothing crashed.
namespace {

// The sanitizers make every node several times larger and slower; there
// the shapes are ten times smaller.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t bigSize = 100000;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr std::size_t bigSize = 100000;
#else
constexpr std::size_t bigSize = 1000000;
#endif
#else
constexpr std::size_t bigSize = 1000000;
#endif

// With --arguments every line of a chain is indented by its depth, so the
// output grows with the square of the depth: a chain this deep prints about
// 8 MB.
constexpr std::size_t argumentsChainDepth = 2000;

constexpr std::size_t defaultStack = 8 * 1024 * 1024;

// Runs `body` to its end on a thread with a stack of `size` bytes.
template <typename Body>
void runOnStack(std::size_t size, Body& body) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, size), 0);
    pthread_t thread;
    auto start = [](void* argument) -> void* {
        (*static_cast<Body*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, start, &body), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

// The output of the whole run over `records`, on the default stack. The
// shapes give no process an argument vector.
std::string runOnDefaultStack(const MemoryRecords& records, const InProcessRun& run,
                              pid_t highlightPid = 0) {
    std::string output;
    auto body = [&] {
        ProcessTable table = tableOf(run.flags, records, highlightPid);
        output = printInProcess(table, records.arguments(), run);
    };
    runOnStack(defaultStack, body);
    return output;
}

// What a test expects of an output: the number of lines, the first and
// the last line, and every line in between given by its number.
struct Expected {
    std::size_t lineCount;
    std::string firstLine;
    std::string lastLine;
};

// Compares the shape first, so that a failure says something short, then
// every byte against `whole` when that is given.
void expectOutput(const std::string& output, const Expected& expected,
                  const std::string* whole = nullptr) {
    const std::vector<std::string> lines = linesOf(output);
    ASSERT_EQ(lines.size(), expected.lineCount);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.front() == expected.firstLine)
        << "first line begins " << lines.front().substr(0, 80);
    EXPECT_TRUE(lines.back() == expected.lastLine)
        << "last line begins " << lines.back().substr(0, 80);
    EXPECT_EQ(output.back(), '\n');
    if (whole != nullptr) {
        EXPECT_EQ(output.size(), whole->size());
        EXPECT_TRUE(output == *whole) << "the output differs from the expected one";
    }
}

// "init" and then `depth` times a connector and a label made by `label`
// from the pid (2 up): the one line of a chain.
template <typename Label>
std::string chainLine(std::string top, std::size_t depth, Label label) {
    std::string line = std::move(top);
    line.reserve(line.size() + depth * 8);
    for (std::size_t i = 0; i < depth; ++i) {
        line += "---";
        line += label(static_cast<pid_t>(i + 2));
    }
    return line;
}

TEST(RunDepthSlowTest, MillionDeepChainInEveryMode) {
    const std::size_t depth = bigSize - 1;
    const MemoryRecords chain = chainShape(depth, true);
    const std::string plain = chainLine("init", depth, [](pid_t) { return std::string("c"); });
    UserNames users;
    const std::string root = users.nameOf(0);
    const std::string other = users.nameOf(otherUid);
    struct Mode {
        const char* name;
        InProcessRun run;
        pid_t highlightPid;
        std::string line;
    };
    const Mode modes[] = {
        {"plain", {}, 0, plain},
        {"-c", {.flags = Flag::noCompact}, 0, plain},
        {"-n", {.flags = Flag::numericSort}, 0, plain},
        {"-p",
         {.flags = Flag::showPids | Flag::noCompact},
         0,
         chainLine("init(1)", depth, [](pid_t pid) { return "c(" + std::to_string(pid) + ")"; })},
        {"-u",
         {.flags = Flag::uidChanges},
         0,
         chainLine("init", depth,
                   [&](pid_t pid) {
                       return pid == 2 ? std::string("c") : "c(" + (pid % 2 ? other : root) + ")";
                   })},
        {"-H deepest",
         {.flags = Flag::highlight},
         static_cast<pid_t>(depth + 1),
         chainLine(bold("init"), depth, [](pid_t) { return bold("c"); })},
        // The user's topmost process is pid 3, the second of the chain.
        {"user mode",
         {.flags = Flag::user, .rootUid = otherUid},
         0,
         plain.substr(std::string("init---c---").size())},
    };
    for (const Mode& mode : modes) {
        SCOPED_TRACE(mode.name);
        const std::string output = runOnDefaultStack(chain, mode.run, mode.highlightPid);
        const std::string whole = mode.line + "\n";
        expectOutput(output, {1, mode.line, mode.line}, &whole);
    }
}

TEST(RunDepthTest, ChainEndingInTwoLeavesByNameAndByPid) {
    // init, a chain of 20,000 named "c", and at the bottom y and then x.
    constexpr std::size_t depth = 20000;
    MemoryRecords records = chainShape(depth);
    const auto bottom = static_cast<pid_t>(depth + 1);
    records.add(bottom + 1, bottom, "y");
    records.add(bottom + 2, bottom, "x");
    const std::string first = chainLine("init", depth, [](pid_t) { return std::string("c"); });
    const std::string indent(first.size() + 1, ' ');
    const std::string byName = first + "-+-x\n" + indent + "`-y\n";
    const std::string byPid = first + "-+-y\n" + indent + "`-x\n";
    expectOutput(runOnDefaultStack(records, {}), {2, first + "-+-x", indent + "`-y"}, &byName);
    expectOutput(runOnDefaultStack(records, {.flags = Flag::noCompact | Flag::numericSort}),
                 {2, first + "-+-y", indent + "`-x"}, &byPid);
}

TEST(RunDepthTest, ChainWithArgumentsIndentsEveryLineByItsDepth) {
    const MemoryRecords chain = chainShape(argumentsChainDepth);
    std::string whole = "init\n";
    for (std::size_t level = 1; level <= argumentsChainDepth; ++level)
        whole += std::string(4 * (level - 1), ' ') + "  `-c\n";
    const std::string output =
        runOnDefaultStack(chain, {.flags = Flag::arguments | Flag::noCompact});
    expectOutput(output,
                 {argumentsChainDepth + 1, "init",
                  std::string(4 * (argumentsChainDepth - 1), ' ') + "  `-c"},
                 &whole);
}

TEST(RunDepthTest, DeepChainWithALeafAtEveryLevelDrawsEveryColumn) {
    // Each level's line starts below its parent; the vertical lines of the
    // levels above stop where their last child is drawn.
    const std::size_t depth = argumentsChainDepth;
    const MemoryRecords shape = chainWithLeavesShape(depth);
    // Every level of the chain but the deepest has two children.
    std::string whole = "init---c";
    for (std::size_t level = 2; level <= depth; ++level) whole += "-+-c";
    // Name order: "c" before "leaf", so the chain goes on along the first
    // line, and the leaves hang below it, deepest first. Every level above
    // a leaf still has its own leaf to come, so its column shows a vertical
    // line; init's single child leaves its column blank.
    whole += "---leaf\n";
    for (std::size_t level = depth - 1; level >= 1; --level) {
        whole += std::string(7, ' ');
        for (std::size_t above = 1; above < level; ++above) whole += "  | ";
        whole += "  `-leaf\n";
    }
    const std::string output = runOnDefaultStack(shape, {.flags = Flag::noCompact});
    expectOutput(output, {depth, linesOf(whole).front(), std::string(9, ' ') + "`-leaf"}, &whole);
}

TEST(RunDepthSlowTest, MillionRoots) {
    const MemoryRecords forest = forestShape(bigSize);
    const std::string group = std::to_string(bigSize) + "*[r]";
    expectOutput(runOnDefaultStack(forest, {}), {1, group, group});
    expectOutput(runOnDefaultStack(forest, {.flags = Flag::numericSort}), {1, group, group});
    expectOutput(runOnDefaultStack(forest, {.flags = Flag::noCompact}), {bigSize, "r", "r"});
    expectOutput(runOnDefaultStack(forest, {.flags = Flag::arguments | Flag::noCompact}),
                 {bigSize, "r", "r"});
    expectOutput(runOnDefaultStack(forest, {.flags = Flag::showPids | Flag::noCompact}),
                 {bigSize, "r(2)", "r(" + std::to_string(bigSize + 1) + ")"});
}

TEST(RunDepthSlowTest, MillionChildrenAllAlike) {
    const MemoryRecords wide = wideAlikeShape(bigSize);
    const std::string group = "init---" + std::to_string(bigSize) + "*[l]";
    expectOutput(runOnDefaultStack(wide, {}), {1, group, group});
    expectOutput(runOnDefaultStack(wide, {.flags = Flag::noCompact}),
                 {bigSize, "init-+-l", "     `-l"});
    const std::string output =
        runOnDefaultStack(wide, {.flags = Flag::arguments | Flag::noCompact});
    expectOutput(output, {bigSize + 1, "init", "  `-l"});
    EXPECT_EQ(linesOf(output)[bigSize / 2], "  |-l");
}

TEST(RunDepthSlowTest, MillionChildrenOfOneNameAllDifferent) {
    const MemoryRecords wide = wideDifferentShape(bigSize);
    const std::string lastLeaf = "u" + std::to_string(bigSize);
    for (OptionFlags flags : {OptionFlags{0}, OptionFlags{Flag::noCompact}}) {
        const std::string output = runOnDefaultStack(wide, {.flags = flags});
        expectOutput(output, {bigSize, "init-+-s---u1", "     `-s---" + lastLeaf});
        EXPECT_EQ(linesOf(output)[1], "     |-s---u2");
    }
    expectOutput(runOnDefaultStack(wide, {.flags = Flag::arguments | Flag::noCompact}),
                 {2 * bigSize + 1, "init", "      `-" + lastLeaf});
}

}  // namespace
