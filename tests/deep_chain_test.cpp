// A real chain of 400 nested processes, printed whole by the built vindle.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process_tree.h"
#include "support/run_program.h"

namespace {

constexpr int chainLength = 400;

// "top", then chainLength - 1 nested processes named "n"; the bottom one has
// the children "y" and then "x" (so x has the higher pid).
ProcessSpec chainSpec() {
    ProcessSpec top{.name = "top"};
    ProcessSpec* bottom = &top;
    for (int level = 1; level < chainLength; ++level) {
        bottom->children.push_back({.name = "n"});
        bottom = &bottom->children.back();
    }
    bottom->children = {{.name = "y"}, {.name = "x"}};
    return top;
}

// The two lines of the chain, with `first` and then `second` at the bottom.
std::string chainOutput(const char* first, const char* second) {
    std::string line = "top";
    for (int level = 1; level < chainLength; ++level) line += "---n";
    return line + "-+-" + first + "\n" + std::string(line.size() + 1, ' ') + "`-" + second + "\n";
}

TEST(DeepChainTest, RealChainOf400PrintsWhole) {
    ProcessTree tree(chainSpec());
    ASSERT_EQ(tree.pids().size(), static_cast<std::size_t>(chainLength + 2));
    const std::string pid = "--pid=" + std::to_string(tree.topPid());
    struct Case {
        std::vector<std::string> options;
        std::string output;
    };
    const Case cases[] = {
        {{}, chainOutput("x", "y")},
        {{"-c"}, chainOutput("x", "y")},
        {{"-n"}, chainOutput("y", "x")},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.options;
        arguments.push_back(pid);
        ProgramResult result = runVindle(arguments);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_TRUE(result.out == c.output)
            << testing::PrintToString(arguments) << " printed " << result.out.size()
            << " bytes instead of the chain's " << c.output.size();
    }
}

}  // namespace
