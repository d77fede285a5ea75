// A process whose argument memory is a mapping far larger than any execve
// could fill, as a process may make it (prctl PR_SET_MM): vindle reads no
// more of it than an execve could have passed, prints the tree with status
// 0, and marks the arguments as cut where the read stopped.
// needs: argument memory moved onto a large mapping (prctl PR_SET_MM_MAP)
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "support/program/background_program.h"
#include "support/program/run_program.h"
#include "support/program/sanitizer_build.h"

namespace {

TEST(ArgumentAreaTest, AGibibyteAreaIsReadOnlyToTheBoundAndMarkedCut) {
    if (geteuid() != 0) GTEST_SKIP() << "moving the argument memory needs CAP_SYS_RESOURCE (root)";
    BackgroundProgram area(toolPath("argument_area"), {"1024", "huge", "first", "second"});
    const std::optional<std::string> ready = area.readLine();
    if (!ready) {
        const int status = area.stop();
        if (WIFEXITED(status) && WEXITSTATUS(status) == 2)
            GTEST_SKIP() << "this kernel does not let a process move its argument memory";
        FAIL() << "argument_area did not start";
    }
    ASSERT_EQ(*ready, "ready");
    // Reading all of the gibibyte would take several times its size; the
    // bound takes a few mebibytes. A sanitizer build reserves far more
    // address space than any limit here allows.
    std::vector<ResourceLimit> limits;
    if (sanitizerRuntimeOf(vindlePath()).empty())
        limits.push_back({.resource = RLIMIT_AS, .value = 512ull << 20});
    const std::string pidOption = "--pid=" + std::to_string(area.pid());
    struct Case {
        std::vector<std::string> options;
        std::string out;
    };
    // The NULs after the words are padding, as a retitled process leaves:
    // the last argument read carries the mark. A title needs only the
    // first word, which is whole.
    const Case cases[] = {
        {{"-a", pidOption}, "argument_area first second...\n"},
        {{"-t", pidOption}, "huge\n"},
        {{"-a", "-t", pidOption}, "huge first second...\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.options));
        const ProgramResult result = runVindle(c.options, {.limits = limits});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.out, c.out);
    }
}

}  // namespace
