// A locale that is not installed: Unicode asked for falls back to VT100
// drawing, on a pipe and on a terminal.
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

TEST(MissingLocaleTest, UnicodeRequestFallsBackToVt100) {
    ProcessTree tree("loc(a b)");
    const std::string pid = "--pid=" + std::to_string(tree.topPid());
    for (const std::string locale :
         {"LC_ALL=xx_XX.UTF-8", "LC_ALL=no-such-locale", "LC_ALL=../../etc"}) {
        SCOPED_TRACE(locale);
        ProgramOptions options;
        options.environment = {locale};
        options.replaceEnvironment = true;
        ProgramResult piped = runVindle({"-U", pid}, options);
        EXPECT_EQ(piped.status, 0) << piped.err;
        EXPECT_EQ(piped.err, "");
        EXPECT_EQ(piped.out, "loc" + drawn("qwq") + "a\n" + drawn("    mq") + "b\n");

        ProgramResult terminal =
            runOnTerminal(vindlePath(), {pid}, {24, 100}, {locale, "TERM=xterm"});
        EXPECT_EQ(terminal.status, 0) << terminal.err;
        EXPECT_NE(terminal.out.find(graphicsOn), std::string::npos) << terminal.out;
        EXPECT_EQ(terminal.out.find("\xe2\x94"), std::string::npos);  // no box-drawing character
    }
}

}  // namespace
