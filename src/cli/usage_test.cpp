#include "cli/usage.h"

#include <gtest/gtest.h>

#include "support/exit_output.h"

namespace {

// The help text is built from whatever table it is given. The program's own
// table is checked byte for byte on the built binary; this one holds the
// entries that table lacks: an unknown letter and an unknown long-only name
// (empty descriptions), a column too wide for its field, a description chosen
// by letter whatever the name, the left-out aliases in another order, and an
// entry behind the terminating record.
const option unusualOptions[] = {
    {"all", no_argument, nullptr, 'a'},
    {"highlight-pid", required_argument, nullptr, 'H'},
    {"zebra", no_argument, nullptr, 'z'},
    {"no-compact", no_argument, nullptr, 'c'},
    {"an-option-with-a-long-name", required_argument, nullptr, 'q'},
    {"frobnicate", optional_argument, nullptr, 0},
    {"highlight", optional_argument, nullptr, 'H'},
    {"compact", no_argument, nullptr, 'c'},
    {"user", required_argument, nullptr, 0},
    {"pid", required_argument, nullptr, 0},
    {nullptr, 0, nullptr, 0},
    {"hidden", no_argument, nullptr, 'x'},
};

TEST(PrintUsageDeathTest, BuildsOneLinePerShownEntryOfAnyTable) {
    const std::string out =
        stdoutOfExit([] { printUsage("/opt/tools/walk", unusualOptions, 0); }, 0, "");
    EXPECT_EQ(out,
              "Usage: walk [options] [PID|USER]\n"
              "\n"
              "Options:\n"
              "  -a, --all                   show command line arguments\n"
              "  -z, --zebra                 \n"
              "  -c, --no-compact            don't compact identical subtrees\n"
              "  -q, --an-option-with-a-long-name \n"
              "  --frobnicate                \n"
              "  -H[PID], --highlight[=PID]  highlight the current process (or PID) and its\n"
              "                              ancestors\n"
              "  USER, --user=USER           show only trees rooted at processes of USER\n"
              "  PID, --pid=PID              show only the tree rooted at the process PID\n");
}

}  // namespace
