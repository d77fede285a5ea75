// Runs that find nothing to show or fail: an unknown user, quoted as any
// name is, and a pid that does not exist.
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

TEST(RunFailureTest, UnknownUserIsReportedAndPrintsNothing) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"--user=no_such_vindle_user"},
                                               {"no_such_vindle_user"},
                                               {"-a", "--user=no_such_vindle_user"}}) {
        ProgramResult result = runVindleInLocale(arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "vindle: Unknown user: \"no_such_vindle_user\"\n");
    }
}

// A user name that carries escape sequences, an 8-bit CSI and an invalid
// byte is quoted as names are shown in the POSIX locale, whatever the
// environment's locale: no byte of it reaches the terminal raw.
TEST(RunFailureTest, UnknownUserIsQuotedEncoded) {
    for (const char* locale : {"C", "C.UTF-8"}) {
        SCOPED_TRACE(locale);
        ProgramResult result = runVindle(
            {"\x1b[2J\x9bx\xff", "-U"},
            {.environment = {std::string("LC_ALL=") + locale}, .replaceEnvironment = true});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "vindle: Unknown user: \"^[[2JM^[xM^?\"\n");
    }
}

// The pid of a process that has ended and been reaped.
pid_t endedPid() {
    ProcessTree tree("init");
    return tree.topPid();
}

bool isFree(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

TEST(RunFailureTest, APidThatDoesNotExistPrintsNothing) {
    using Arguments = std::vector<std::string>;
    const std::vector<Arguments (*)(pid_t)> forms{
        [](pid_t gone) { return Arguments{pidOption(gone)}; },
        [](pid_t) { return Arguments{"--pid=2147483647"}; },
        [](pid_t gone) {
            return Arguments{"-a", "-n", std::to_string(gone)};
        }};
    for (const auto form : forms) {
        // The kernel may give an ended pid to a new process at any time: a
        // run counts when the pid was free before and after it.
        Arguments arguments;
        ProgramResult result;
        bool counted = false;
        for (int attempt = 0; attempt < 10 && !counted; ++attempt) {
            const pid_t gone = endedPid();
            if (!isFree(gone)) continue;
            arguments = form(gone);
            result = runVindleInLocale(arguments);
            counted = isFree(gone);
        }
        ASSERT_TRUE(counted) << "every ended pid was taken again at once";
        SCOPED_TRACE(testing::PrintToString(arguments));
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "");
    }
}

}  // namespace
