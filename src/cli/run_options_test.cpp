#include "cli/run_options.h"

#include <gtest/gtest.h>

#include "cli/option_flags.h"

namespace {

// Only the user decorations and the user mode need the real uid, which the
// Linux layer reads from a dearer source: every other run goes without.
TEST(RunOptionsTest, OnlyUserDecorationsAndUserModeNeedTheRealUid) {
    struct Case {
        OptionFlags flags;
        bool realUid;
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
        CommandLine line;
        line.flags = c.flags;
        EXPECT_EQ(runOptionsOf(line, 0).table.realUid, c.realUid) << "flags " << c.flags;
    }
}

}  // namespace
