// A real chain of 400 nested processes, printed whole by the built vindle.
// ctest: slow cost=30
// needs: processes named after fork without exec (prctl)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "support/program/run_program.h"

namespace {

constexpr int chainLength = 400;

// "top", then chainLength - 1 nested processes named "n"; the bottom one has
// the children "y" and then "x", which report their pids (x's is the higher
// one unless the kernel's pid counter wrapped in between). The processes
// are forks of the test, without an exec each, so that a deep chain comes up
// fast; every one dies with its parent, and the whole chain, one process
// group, is killed and reaped when the object goes.
class ForkedChain {
  public:
    ForkedChain() {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0) return;
        const pid_t self = getpid();
        top = fork();
        if (top == 0) {
            close(ready[0]);
            setpgid(0, 0);
            becomeLevel(1, ready[1], self);
        }
        close(ready[1]);
        if (top > 0) {
            setpgid(top, top);  // also here, so that it holds before any kill
            complete = awaitLeaves(ready[0], y, x);
        }
        close(ready[0]);
    }
    ~ForkedChain() {
        if (top <= 0) return;
        kill(-top, SIGKILL);
        // The top is our child; members orphaned on the way may come to us
        // too, if this process reaps orphans. Either way the group ends.
        while (waitpid(-top, nullptr, 0) > 0 || errno == EINTR) {
        }
    }
    ForkedChain(const ForkedChain&) = delete;
    ForkedChain& operator=(const ForkedChain&) = delete;

    pid_t top = -1;
    bool complete = false;
    pid_t y = 0;  // the leaves, as they reported themselves
    pid_t x = 0;

  private:
    // Only async-signal-safe calls from here on: the test may have threads.
    [[noreturn]] static void becomeLevel(int level, int readyFd, pid_t parent) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(0);
        prctl(PR_SET_NAME, level == 1 ? "top" : "n");
        const pid_t self = getpid();
        if (level < chainLength) {
            if (fork() == 0) becomeLevel(level + 1, readyFd, self);
        } else {
            spawnLeaf("y", readyFd, self);
            spawnLeaf("x", readyFd, self);
        }
        for (;;) pause();
    }

    static void spawnLeaf(const char* name, int readyFd, pid_t parent) {
        if (fork() != 0) return;
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(0);
        prctl(PR_SET_NAME, name);
        // One write of less than a pipe's buffer: the two reports never mix.
        const Report report{name[0], getpid()};
        if (write(readyFd, &report, sizeof report) != sizeof report) _exit(1);
        for (;;) pause();
    }

    struct Report {
        char name;
        pid_t pid;
    };

    // Both leaves report their pids once in place; they exist only when the
    // whole chain above them does.
    static bool awaitLeaves(int readFd, pid_t& y, pid_t& x) {
        for (int reported = 0; reported < 2; ++reported) {
            pollfd wait{readFd, POLLIN, 0};
            if (poll(&wait, 1, 120 * 1000) <= 0) return false;
            Report report{};
            if (read(readFd, &report, sizeof report) != sizeof report) return false;
            (report.name == 'y' ? y : x) = report.pid;
        }
        return y > 0 && x > 0;
    }
};

// The two lines of the chain, with `first` and then `second` at the bottom.
std::string chainOutput(const char* first, const char* second) {
    std::string line = "top";
    for (int level = 1; level < chainLength; ++level) line += "---n";
    return line + "-+-" + first + "\n" + std::string(line.size() + 1, ' ') + "`-" + second + "\n";
}

TEST(DeepChainTest, RealChainOf400PrintsWhole) {
    ForkedChain chain;
    ASSERT_GT(chain.top, 0) << "fork failed";
    ASSERT_TRUE(chain.complete) << "the chain did not come up";
    const std::string pid = "--pid=" + std::to_string(chain.top);
    struct Case {
        std::vector<std::string> options;
        std::string output;
    };
    // By pid, the leaf with the lower pid comes first, whichever forked first.
    const Case cases[] = {
        {{}, chainOutput("x", "y")},
        {{"-c"}, chainOutput("x", "y")},
        {{"-n"}, chain.y < chain.x ? chainOutput("y", "x") : chainOutput("x", "y")},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.options;
        arguments.push_back(pid);
        ProgramResult result = runVindle(arguments);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_TRUE(result.out == c.output)
            << testing::PrintToString(arguments) << " printed " << result.out.size()
            << " bytes instead of the chain's " << c.output.size();
    }
}

}  // namespace
