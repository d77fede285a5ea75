#include "cli/run_options.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "cli/option_flags.h"

namespace {

// Each fact of the command line reaches the one layer that holds it: the
// order of children the table (which indexes for it and which the printer
// follows), the selection's mode the root choice (which the labeller reads
// for user roots), the real uid the table's reading.
struct RunOptionsCase {
    const char* name;
    OptionFlags flags;
    ChildOrder childOrder;
    Selection::Mode mode;
    bool realUid;
};

void PrintTo(const RunOptionsCase& c, std::ostream* out) { *out << c.name; }

constexpr auto orderByName = ChildOrder::ByName;
constexpr auto orderByPid = ChildOrder::ByPid;
constexpr auto allTrees = Selection::Mode::allTrees;

const RunOptionsCase runOptionsCases[] = {
    {"Nothing", 0, orderByName, allTrees, false},
    {"NumericSort", Flag::numericSort, orderByPid, allTrees, false},
    {"UidChanges", Flag::uidChanges, orderByName, allTrees, true},
    {"UserMode", Flag::user, orderByName, Selection::Mode::user, true},
    {"PidMode", Flag::pid | Flag::numericSort, orderByPid, Selection::Mode::pid, false},
    {"PidBeforeUser", Flag::pid | Flag::user, orderByName, Selection::Mode::pid, true},
};

class RunOptionsTable : public testing::TestWithParam<RunOptionsCase> {};

TEST_P(RunOptionsTable, EachFactReachesTheLayerThatHoldsIt) {
    const RunOptionsCase& c = GetParam();
    CommandLine line;
    line.flags = c.flags;
    line.rootPid = 42;
    const RunOptions options = runOptionsOf(line, 7);
    EXPECT_EQ(options.table.childOrder, c.childOrder);
    EXPECT_EQ(options.selection.mode, c.mode);
    EXPECT_EQ(options.table.realUid, c.realUid);
    if (c.mode == Selection::Mode::pid) {
        EXPECT_EQ(options.selection.pid, 42);
    }
    if (c.mode == Selection::Mode::user) {
        EXPECT_EQ(options.selection.uid, 7u);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RunOptionsTable, testing::ValuesIn(runOptionsCases),
                         [](const testing::TestParamInfo<RunOptionsCase>& test) {
                             return std::string(test.param.name);
                         });

}  // namespace
