// vindle on a machine in a fork storm: spawners fork and reap short-lived
// children (some of which leave orphans behind) as fast as they can, so
// that processes vanish and pids are reused while vindle reads /proc. Run
// after run, in every mode and with every option that changes what is read,
// vindle must exit 0, and print whole lines with balanced group brackets,
// none wider than its terminal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "support/columns.h"
#include "support/escapes.h"
#include "support/lines.h"
#include "support/pty.h"
#include "support/run_program.h"

namespace {

constexpr int spawnerCount = 3;
constexpr int stormSecondsAtMost = 180;  // the spawners stop by themselves after this

// One spawner: forks children that exit at once, or that fork a grandchild
// and exit, orphaning it; reaps everything; never stops before it is killed
// or its time is up.
[[noreturn]] void spawn(pid_t leader) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != leader) _exit(0);
    prctl(PR_SET_NAME, "churn-spawner");
    prctl(PR_SET_CHILD_SUBREAPER, 1);  // orphans come back here to be reaped
    // The storm takes what vindle leaves of the processors, so that a busy
    // machine slows the storm rather than the runs.
    if (nice(5) == -1) {
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(stormSecondsAtMost);
    for (unsigned round = 0; std::chrono::steady_clock::now() < end; ++round) {
        if (round % 8 == 0) {
            // A child that leaves an orphan behind for a moment.
            if (fork() == 0) {
                if (fork() == 0) {
                    prctl(PR_SET_NAME, "churn-orphan");
                    usleep(200);
                }
                _exit(0);
            }
        } else if (vfork() == 0) {  // the cheapest way to use up a pid
            _exit(0);
        }
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
    }
    _exit(0);
}

// A storm of spawners in a process group of its own, killed with the group
// when the object goes, whatever happened.
class ForkStorm {
  public:
    ForkStorm() {
        int report[2];
        if (pipe(report) != 0) return;
        leader = fork();
        if (leader == 0) {
            setpgid(0, 0);
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            prctl(PR_SET_NAME, "churn-storm");
            close(report[0]);
            for (int i = 0; i < spawnerCount; ++i) {
                pid_t spawner = fork();
                if (spawner == 0) {
                    close(report[1]);
                    spawn(getppid());
                }
                if (write(report[1], &spawner, sizeof spawner) != sizeof spawner) _exit(1);
            }
            close(report[1]);
            while (wait(nullptr) > 0 || errno == EINTR) {
            }
            _exit(0);
        }
        setpgid(leader, leader);  // also here, so that the group exists before anyone kills it
        close(report[1]);
        pid_t spawner = 0;
        while (spawners.size() < spawnerCount &&
               read(report[0], &spawner, sizeof spawner) == sizeof spawner)
            spawners.push_back(spawner);
        close(report[0]);
    }
    ~ForkStorm() {
        if (leader <= 0) return;
        kill(-leader, SIGKILL);
        waitpid(leader, nullptr, 0);
    }
    ForkStorm(const ForkStorm&) = delete;
    ForkStorm& operator=(const ForkStorm&) = delete;

    pid_t leader = -1;
    std::vector<pid_t> spawners;
};

// Group prefixes on a line: a decimal count followed by "*[".
std::size_t groupPrefixes(const std::string& line) {
    std::size_t count = 0;
    for (std::size_t at = line.find("*["); at != std::string::npos; at = line.find("*[", at + 2))
        count += at > 0 && line[at - 1] >= '0' && line[at - 1] <= '9';
    return count;
}

// What is wrong with one run's output; empty when nothing is.
std::string faultOf(const std::string& out, bool onTerminal, std::size_t width) {
    if (out.empty() || out.back() != '\n') return "output does not end in a whole line";
    for (const std::string& raw : linesOf(out)) {
        const std::string line = withoutOwnEscapes(raw);
        if (onTerminal) {
            if (columnsOf(line) > width) return "line wider than the terminal: " + raw;
        } else {
            // Uncut: every group prefix is closed at the end of its line.
            const std::size_t closers = line.size() - line.find_last_not_of(']') - 1;
            if (closers < groupPrefixes(line)) return "unclosed group: " + raw;
        }
    }
    return {};
}

TEST(ChurnTest, EveryRunDuringAForkStormSucceedsWithWellFormedOutput) {
    ForkStorm storm;
    ASSERT_EQ(storm.spawners.size(), static_cast<std::size_t>(spawnerCount));
    const std::vector<std::vector<std::string>> optionSets{
        {},
        {"-a"},
        {"-t"},
        {"-n"},
        {"-u"},
        {"-k"},
        {"-a", "-t", "-u", "-p"},
        {"-n", "-k", "-p", "-c"},
        {"--pid=" + std::to_string(storm.spawners[0])},
        {"-a", "-n", "--pid=" + std::to_string(storm.spawners[1])},
        {"-t", "-u", std::to_string(storm.leader)},
        {"root"},
        {"-a", "-u", "root"},
        {"-H" + std::to_string(storm.spawners[2]), "-U"},
    };
    const unsigned short widths[] = {24, 80, 133};

    const auto start = std::chrono::steady_clock::now();
    int runs = 0;
    int failures = 0;
    for (; runs < 5000 && failures < 5; ++runs) {
        // At least 300 runs and 10 seconds of storm; on a machine so busy
        // that this takes two minutes, stop there.
        const auto elapsed = std::chrono::steady_clock::now() - start;
        if ((runs >= 300 && elapsed > std::chrono::seconds(10)) ||
            elapsed > std::chrono::seconds(120))
            break;
        const std::vector<std::string>& options = optionSets[runs % optionSets.size()];
        const bool onTerminal = runs % 4 == 3;
        const unsigned short width = widths[runs % 3];
        ProgramResult result;
        if (onTerminal) {
            result =
                runOnTerminal(vindlePath(), options, {40, width},
                              {"TERM=xterm", runs % 8 == 3 ? "LC_ALL=C.UTF-8" : "LC_ALL=C"}, 30);
        } else {
            ProgramOptions limit;
            limit.timeoutSeconds = 30;
            result = runVindle(options, limit);
        }
        std::string fault = result.status != 0    ? "exit status " + std::to_string(result.status)
                            : !result.err.empty() ? "message: " + result.err
                                                  : faultOf(result.out, onTerminal, width);
        if (!fault.empty()) {
            ++failures;
            ADD_FAILURE() << "run " << runs << " " << testing::PrintToString(options)
                          << (onTerminal ? " on a terminal" : " on a pipe") << ": " << fault << "\n"
                          << result.out.substr(0, 4000);
        }
    }
    EXPECT_GE(runs, 300);
    std::printf("%d runs of vindle during the storm\n", runs);
    // The storm was still going: its spawners are alive to the end.
    for (pid_t spawner : storm.spawners) EXPECT_EQ(kill(spawner, 0), 0);
}

}  // namespace
