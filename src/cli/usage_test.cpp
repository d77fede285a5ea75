#include "cli/usage.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "cli/version.h"
#include "support/exit_output.h"

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

// From here on, every uname call of this process fails with EPERM.
void makeUnameFail() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, static_cast<__u32>(offsetof(seccomp_data, nr))),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<__u32>(__NR_uname), 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        _exit(98);
    }
}

// The long forms need the system's name and end with the system's error text
// and status 1 when it cannot be read, printing nothing; the short form never
// asks for it.
TEST(PrintVersionDeathTest, FailedUnameEndsTheLongFormsWithStatusOne) {
    const std::string failure =
        std::string(program_invocation_short_name) + ": " + std::strerror(EPERM) + "\n";
    struct Case {
        const char* argument;
        int status;
        std::string err;
        std::string out;
    };
    const std::string shortVersion = std::string("vindle ") + vindleVersion + "\n";
    const Case cases[] = {
        {nullptr, 1, failure, ""},      {"license", 1, failure, ""}, {"x", 1, failure, ""},
        {"short", 0, "", shortVersion}, {"s", 0, "", shortVersion},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("argument ") + (c.argument != nullptr ? c.argument : "(none)"));
        const std::string out = stdoutOfExit(
            [&] {
                makeUnameFail();
                printVersion(c.argument);
            },
            c.status, c.err);
        EXPECT_EQ(out, c.out);
    }
}

}  // namespace
