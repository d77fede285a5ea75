// The whole run in-process on synthetic process tables of shapes nobody
// would spawn: a chain a million deep, a million roots, a node with a
// million children. Every test runs on a thread with the default 8 MiB
// stack, whatever the stack limit of the test process, and checks the shape
// of the output (or all of it), not only that nothing crashed.
#include <gtest/gtest.h>
#include <pthread.h>

#include <string>
#include <vector>

#include "process/user_names.h"
#include "support/escapes.h"
#include "support/in_process_run.h"
#include "support/lines.h"
#include "support/options_of.h"
#include "support/synthetic_forest.h"

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
