// vindle on a machine in a fork storm: spawners fork and reap short-lived
// children (some of which leave orphans behind) as fast as they can, so
// that processes vanish and pids are reused while vindle reads /proc. In
// every mode and with every option that changes what is read, on a pipe and
// on a terminal, vindle must exit 0 and print whole lines with balanced
// group brackets, none wider than its terminal. The verdict asks that every
// run was made and that the storm was alive through them, never how many
// runs a machine managed in some time.
// ctest: slow one-process serial cost=30 (the storm takes the pids and processors
// that other tests count on)
// needs: processes named after fork without exec (prctl)
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "support/escapes.h"
#include "support/lines.h"
#include "support/program/columns.h"
#include "support/program/pty.h"
#include "support/program/run_program.h"

namespace {

constexpr int spawnerCount = 3;
// The spawners die with the test; should that fail, they stop by themselves
// after this.
constexpr int stormSecondsAtMost = 900;

// What the spawners have done, in memory shared with the test: each counts
// the children it has forked.
struct StormProgress {
    std::atomic<unsigned long> forks[spawnerCount];
};

// One spawner: forks children that exit at once, or that fork a grandchild
// and exit, orphaning it; reaps everything; never stops before it is killed
// or its time is up.
[[noreturn]] void spawn(pid_t leader, std::atomic<unsigned long>& forks) {
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
        forks.fetch_add(1, std::memory_order_relaxed);
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
        void* shared = mmap(nullptr, sizeof(StormProgress), PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (shared == MAP_FAILED) return;
        progress = new (shared) StormProgress{};
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
                    spawn(getppid(), progress->forks[i]);
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
        if (leader > 0) {
            kill(-leader, SIGKILL);
            waitpid(leader, nullptr, 0);
        }
        if (progress != nullptr) munmap(progress, sizeof(StormProgress));
    }
    ForkStorm(const ForkStorm&) = delete;
    ForkStorm& operator=(const ForkStorm&) = delete;

    // The children forked so far by each spawner.
    std::vector<unsigned long> forks() const {
        std::vector<unsigned long> counts;
        for (const auto& count : progress->forks) counts.push_back(count.load());
        return counts;
    }

    // Whether every spawner is still there (a spawner that ended is reaped
    // by the leader at once).
    bool alive() const {
        for (pid_t spawner : spawners)
            if (kill(spawner, 0) != 0) return false;
        return true;
    }

    pid_t leader = -1;
    std::vector<pid_t> spawners;
    StormProgress* progress = nullptr;
};

// Group prefixes on a line: a decimal count followed by "*[".
std::size_t groupPrefixes(const std::string& line) {
    std::size_t count = 0;
    for (std::size_t at = line.find("*["); at != std::string::npos; at = line.find("*[", at + 2))
        count += at > 0 && line[at - 1] >= '0' && line[at - 1] <= '9';
    return count;
}

// What is wrong with one run's output; empty when nothing is.
std::string faultOf(const std::string& out, bool onTerminal, std::size_t width,
                    const std::string& locale) {
    if (out.empty() || out.back() != '\n') return "output does not end in a whole line";
    for (const std::string& raw : linesOf(out)) {
        const std::string line = withoutOwnEscapes(raw);
        if (onTerminal) {
            if (columnsOf(line, locale) > width) return "line wider than the terminal: " + raw;
        } else {
            // Uncut: every group prefix is closed at the end of its line.
            const std::size_t closers = line.size() - line.find_last_not_of(']') - 1;
            if (closers < groupPrefixes(line)) return "unclosed group: " + raw;
        }
    }
    return {};
}

// One run of vindle: its options and where its output goes.
struct ChurnRun {
    std::vector<std::string> options;
    bool onTerminal = false;
    unsigned short width = 0;  // of the terminal
    const char* locale = "C";
};

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
    // Every option set on a pipe and on a terminal, the terminals in turn
    // 24, 80 and 133 columns wide and in the C or a UTF-8 locale.
    const unsigned short widths[] = {24, 80, 133};
    std::vector<ChurnRun> round;
    for (std::size_t i = 0; i < optionSets.size(); ++i) {
        round.push_back({.options = optionSets[i]});
        round.push_back({.options = optionSets[i],
                         .onTerminal = true,
                         .width = widths[i % 3],
                         .locale = i % 2 == 0 ? "C" : "C.UTF-8"});
    }

    // Rounds go on for ten seconds, to give the races more chances; the
    // first round is made whole however long it takes, and rounds go on
    // until every spawner has forked during them: niced spawners on a busy
    // machine may wait long for a processor, and runs made while the storm
    // stood still would prove nothing.
    const std::vector<unsigned long> forksBefore = storm.forks();
    const auto everySpawnerForked = [&] {
        const std::vector<unsigned long> now = storm.forks();
        for (int i = 0; i < spawnerCount; ++i)
            if (now[i] == forksBefore[i]) return false;
        return true;
    };
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&] { return std::chrono::steady_clock::now() - start; };
    int runs = 0;
    int failures = 0;
    bool stormAlive = true;
    do {
        for (const ChurnRun& run : round) {
            ProgramResult result;
            if (run.onTerminal) {
                result = runOnTerminal(vindlePath(), run.options, {40, run.width},
                                       {"TERM=xterm", std::string("LC_ALL=") + run.locale});
            } else {
                result = runVindle(run.options);
            }
            ++runs;
            stormAlive = stormAlive && storm.alive();
            const std::string fault =
                result.status != 0    ? "exit status " + std::to_string(result.status)
                : !result.err.empty() ? "message: " + result.err
                                      : faultOf(result.out, run.onTerminal, run.width, run.locale);
            if (!fault.empty() && ++failures <= 5) {
                ADD_FAILURE() << testing::PrintToString(run.options)
                              << (run.onTerminal ? " on a terminal" : " on a pipe") << ": " << fault
                              << "\n"
                              << result.out.substr(0, 4000);
            }
        }
    } while (failures == 0 && stormAlive &&
             (elapsed() < std::chrono::seconds(10) || !everySpawnerForked()) &&
             elapsed() < std::chrono::seconds(stormSecondsAtMost / 2));
    const std::vector<unsigned long> forksAfter = storm.forks();
    std::printf("%d runs of vindle during the storm\n", runs);

    // The storm was alive through every run, and every spawner forked while
    // the runs were made.
    EXPECT_TRUE(stormAlive) << "a spawner of the storm ended during the runs";
    for (int i = 0; i < spawnerCount; ++i)
        EXPECT_GT(forksAfter[i], forksBefore[i]) << "spawner " << i << " forked nothing";
}

}  // namespace
