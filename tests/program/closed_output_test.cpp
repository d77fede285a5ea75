// A standard output that is closed, full, or whose reader has gone before
// or while vindle writes.
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

}  // namespace
