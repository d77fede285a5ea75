// The program runner that the whole-program tests build on: each way of
// starting a program does what it says, and a set-up that fails says why.
#include "support/program/run_program.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>

#include "support/program/pty.h"

namespace {

ProgramResult shell(const std::string& script, ProgramOptions options = {}) {
    return runProgram("/bin/sh", {"-c", script}, options);
}

TEST(RunProgramTest, PipesCarryOutputErrorsAndStatus) {
    const ProgramResult result = shell("printf out; printf err >&2; exit 3");
    EXPECT_EQ(result.out, "out");
    EXPECT_EQ(result.err, "err");
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.setupError, "");

    EXPECT_EQ(shell("kill -TERM $$").status, 128 + SIGTERM);
    EXPECT_EQ(shell("exec sleep 30", {.timeoutSeconds = 1}).status, 128 + SIGKILL);
    EXPECT_EQ(shell("echo \"$A\"", {.environment = {"A=b"}, .replaceEnvironment = true}).out,
              "b\n");
}

TEST(RunProgramTest, StandardOutputClosedOrWithoutReader) {
    // "exec 3>&1" fails only when descriptor 1 is closed.
    EXPECT_NE(shell("exec 3>&1", {.output = StandardOutput::closed}).status, 0);
    EXPECT_EQ(shell("exec 3>&1").status, 0);
    const char* writeTwice = "echo one; echo two; echo survived >&2";
    const ProgramResult killed = shell(writeTwice, {.output = StandardOutput::readerGone});
    EXPECT_EQ(killed.status, 128 + SIGPIPE);
    const ProgramResult ignored =
        shell(writeTwice, {.output = StandardOutput::readerGone, .ignorePipeSignal = true});
    EXPECT_EQ(ignored.err.find("survived"), ignored.err.size() - 9) << ignored.err;
}

TEST(RunProgramTest, TerminalOfTheGivenSizeIsTheControllingTerminal) {
    const ProgramResult result =
        runOnTerminal("/bin/sh", {"-c", "stty size; test -t 0 && test -t 1 && echo tty"}, {12, 34},
                      {"PATH=/usr/bin:/bin"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "12 34\ntty\n");
}

TEST(RunProgramTest, AFailedSetUpSaysWhy) {
    const ProgramResult missing = runProgram("/nonexistent/program", {});
    EXPECT_EQ(missing.status, 127);
    EXPECT_EQ(missing.setupError, "exec: No such file or directory");
    // Refused for want of privilege, or for the unknown mount option.
    const ProgramResult proc = shell("true", {.privateProc = "no-such-option"});
    EXPECT_EQ(proc.status, 126);
    EXPECT_EQ(proc.setupError.rfind("a /proc of its own: ", 0), 0u) << proc.setupError;
}

TEST(RunProgramTest, AnotherUserOnAProcOfItsOwn) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to take on another user";
    const ProgramResult nobody = shell("id -u; id -G", {.user = 65534});
    EXPECT_EQ(nobody.out, "65534\n65534\n");
    const ProgramResult hidden =
        shell("grep -o 'hidepid=[a-z0-9]*' /proc/self/mountinfo", {.privateProc = "hidepid=1"});
    if (!hidden.setupError.empty()) GTEST_SKIP() << "cannot set up " << hidden.setupError;
    EXPECT_EQ(hidden.status, 0);
    EXPECT_NE(hidden.out.find("hidepid="), std::string::npos);
}

}  // namespace
