// The worked examples of folding, each spawned as a real tree and printed
// by the whole program byte for byte.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "support/escapes.h"
#include "support/folding_examples.h"
#include "support/lines.h"
#include "support/program/process_tree.h"
#include "support/program/run_program.h"

namespace {

// The folding examples, each a tree of its own, printed by the
// program with --pid of its top.
class FoldingExampleTest : public testing::TestWithParam<FoldingExample> {};

TEST_P(FoldingExampleTest, PrintsAsDescribed) {
    const FoldingExample& example = GetParam();
    if (!example.users.empty() && !ProcessTree::canSwitchUsers())
        GTEST_SKIP() << "giving processes other users needs root";
    ProcessTree tree(planOf(example));
    std::vector<std::string> arguments{pidOption(tree.topPid())};
    if (example.showTitles) arguments.push_back("-t");
    if (example.userChanges) arguments.push_back("-u");
    if (example.highlighted != nullptr)
        arguments.push_back("-H" + std::to_string(tree.pid(example.highlighted)));
    ProgramResult result = runVindleInLocale(arguments);
    EXPECT_EQ(result.out, example.output);
    EXPECT_EQ(result.status, 0);
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, FoldingExampleTest, testing::ValuesIn(foldingExamples()),
                         [](const testing::TestParamInfo<FoldingExample>& param) {
                             return param.param.title;
                         });

}  // namespace
