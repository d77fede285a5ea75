#include "cli/usage.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "cli/version.h"
#include "support/unit/exit_output.h"

namespace {

// The help text prints whatever table it is given. The program's own table is
// checked byte for byte on the built binary; this one holds what that table
// lacks: aliases before and after the entry they stand for, an empty
// description, a column of exactly 27 characters (no filling) and a longer
// one (never cut), and a description whose second line is its own.
const OptionEntry unusualOptions[] = {
    {"every", no_argument, 'a', OptionAction::setFlags, 0, nullptr, nullptr},
    {"all", no_argument, 'a', OptionAction::setFlags, 0, "-a, --all", "show everything"},
    {"zebra", no_argument, 'z', OptionAction::setFlags, 0, "-z, --zebra", ""},
    {"twenty-seven-in-width", no_argument, 'w', OptionAction::setFlags, 0,
     "-w, --twenty-seven-in-width", "needs no filling"},
    {"an-option-with-a-long-name", required_argument, 'q', OptionAction::setFlags, 0,
     "-q, --an-option-with-a-long-name=X", "is not cut"},
    {"frobnicate", optional_argument, '\0', OptionAction::setFlags, 0, "KNOB, --frobnicate[=KNOB]",
     "turns\n  the knob"},
    {"frob", optional_argument, '\0', OptionAction::setFlags, 0, nullptr, nullptr},
};

TEST(PrintUsageDeathTest, PrintsOneLinePerEntryThatIsNoAlias) {
    const std::string out =
        stdoutOfExit([] { printUsage("/opt/tools/walk", unusualOptions, 0); }, 0, "");
    EXPECT_EQ(out,
              "Usage: walk [options] [PID|USER]\n"
              "\n"
              "Options:\n"
              "  -a, --all                   show everything\n"
              "  -z, --zebra                 \n"
              "  -w, --twenty-seven-in-width needs no filling\n"
              "  -q, --an-option-with-a-long-name=X is not cut\n"
              "  KNOB, --frobnicate[=KNOB]   turns\n"
              "  the knob\n");
}

}  // namespace
