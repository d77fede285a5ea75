// A terminal whose description is unknown, hostile or missing: vindle
// cuts lines at eighty columns.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cli/output_options.h"
#include "support/escapes.h"
#include "support/lines.h"
#include "support/program/columns.h"
#include "support/program/process_tree.h"
#include "support/program/pty.h"
#include "support/program/run_program.h"

namespace {

TEST(UnusableTerminalTest, UnknownOrHostileTermGivesEightyColumns) {
    const std::vector<std::string> terms{"TERM=no-such-terminal",
                                         "TERM=", "TERM=../../../../etc/passwd",
                                         "TERM=" + std::string(8192, 'x'), "TERM=/dev/null"};
    for (const std::string& term : terms) {
        ProgramResult result = runOnTerminal(vindlePath(), {"-a", "-t"}, {24, 40},
                                             {term, "LC_ALL=C", "TERMINFO=/nonexistent"});
        SCOPED_TRACE(term.substr(0, 40));
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        ASSERT_FALSE(result.out.empty());
        EXPECT_EQ(result.out.back(), '\n');
        for (const std::string& line : linesOf(result.out))
            EXPECT_LE(columnsOf(line, "C"), 80u) << line;
    }
    ProgramResult unset = runOnTerminal(vindlePath(), {"-a", "-t"}, {24, 40}, {"LC_ALL=C"});
    EXPECT_EQ(unset.status, 0);
    for (const std::string& line : linesOf(unset.out)) EXPECT_LE(columnsOf(line, "C"), 80u) << line;
}

}  // namespace
