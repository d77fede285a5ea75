// vindle in hard environments: terminals and locales that do not exist, and
// a standard output that is closed or whose reader has gone. (/proc entries
// it may not read: unreadable_proc_test.cpp.)
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cli/output_options.h"
#include "support/program/columns.h"
#include "support/escapes.h"
#include "support/lines.h"
#include "support/program/process_tree.h"
#include "support/program/pty.h"
#include "support/program/run_program.h"

namespace {

ProgramResult runWithOutputClosed(const std::vector<std::string>& arguments) {
    return runVindle(arguments, {.output = StandardOutput::closed});
}

// Runs vindle with standard output on a pipe whose reading end is closed
// before vindle starts, SIGPIPE ignored or at its default.
ProgramResult runIntoPipeWithoutReader(const std::vector<std::string>& arguments,
                                       bool ignorePipeSignal) {
    return runVindle(arguments,
                     {.output = StandardOutput::readerGone, .ignorePipeSignal = ignorePipeSignal});
}

TEST(ClosedOutputTest, AWriteErrorIsReportedWithStatusOne) {
    // Every form that prints: the tree, the help text, the version output.
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{}, {"-a"}, {"-h"}, {"-V"}}) {
        ProgramResult result = runWithOutputClosed(arguments);
        EXPECT_EQ(result.status, 1) << ::testing::PrintToString(arguments);
        EXPECT_EQ(result.err.rfind("vindle: write error", 0), 0u) << result.err;
    }
}

TEST(ClosedOutputTest, NothingToWriteIsNoError) {
    ProgramResult result =
        runWithOutputClosed({"--pid=2147483647"});  // no such process: nothing printed
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
}

TEST(ClosedOutputTest, AFullDeviceIsAWriteError) {
    ProgramResult result =
        runProgram("/bin/sh", {"-c", "exec \"$0\" -a > /dev/full", vindlePath()});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("vindle: write error: No space left on device"), std::string::npos)
        << result.err;
}

TEST(EarlyClosedPipeTest, EndsQuietlyWhateverSigpipeDoes) {
    ProgramResult killed = runIntoPipeWithoutReader({"-a"}, false);
    EXPECT_EQ(killed.status, 128 + SIGPIPE);
    EXPECT_EQ(killed.err, "");

    ProgramResult ignored = runIntoPipeWithoutReader({"-a"}, true);
    EXPECT_EQ(ignored.status, 1);  // not everything was delivered
    EXPECT_EQ(ignored.err, "");
}

TEST(EarlyClosedPipeTest, HeadTakesTheFirstLineAndNothingComplains) {
    ProgramResult result = runProgram("/bin/sh", {"-c", "\"$0\" -a -l | head -1", vindlePath()});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(linesOf(result.out).size(), 1u);
    EXPECT_EQ(result.err, "");
}

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
