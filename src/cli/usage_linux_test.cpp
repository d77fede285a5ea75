// What the version forms do when the system's name cannot be read: made to
// happen with a seccomp filter, which Linux alone has.
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

#include "cli/usage.h"
#include "cli/version.h"
#include "platform/program_name.h"
#include "support/unit/exit_output.h"

namespace {

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
    const std::string failure = std::string(programName()) + ": " + std::strerror(EPERM) + "\n";
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
