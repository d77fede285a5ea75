// vindle_scaling: the whole run in-process on synthetic process tables of
// growing size, to show that every mode costs the same per process whatever
// the shape of the forest.
//
//   vindle_scaling [--sizes 10000,100000,1000000] [--shape NAME] [--mode NAME]
//   vindle_scaling --deep-output DEPTH
//
// For every shape and mode it builds the records, then times the table
// (retention, sorting, linking, highlight), the root choice, compaction,
// printing to a pipe whose reader only counts bytes, and the teardown. It
// prints the processor time per process at each size (best of 5 runs; the
// sizes take turns, run by run, so that the machine's spells fall on all) and
// the ratio of the times at the largest size and the one before. A last
// row, "stream", times a loop that is linear by construction and bound only
// by memory, over the same number of node-sized slots: its ratio is what the
// machine's caches give any pass over that many nodes (--shape stream runs
// only that row).
// --memory prints instead the peak memory that a run adds per process.
// --deep-output times only the chain with a leaf at every level, whose
// output grows with the square of its depth, and prints the rate in MB/s.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "cli/output_options.h"
#include "cli/run.h"
#include "cli/run_options.h"
#include "platform/linux/proc_handle.h"
#include "render/drawing_set.h"
#include "render/line_writer.h"
#include "support/options_of.h"
#include "support/unit/synthetic_forest.h"

namespace {

// Standard output goes into a pipe for as long as this lives; a thread reads
// the other end and counts the bytes.
class CountingPipe {
  public:
    CountingPipe() {
        int ends[2];
        if (pipe(ends) != 0) std::exit(2);
        std::fflush(stdout);
        savedOutput = dup(1);
        dup2(ends[1], 1);
        close(ends[1]);
        readEnd = ends[0];
        reader = std::thread([this] {
            std::vector<char> buffer(1 << 20);
            for (;;) {
                ssize_t n = read(readEnd, buffer.data(), buffer.size());
                if (n <= 0) break;
                bytes += static_cast<std::size_t>(n);
            }
        });
    }
    // Closes the pipe and answers how many bytes went through it.
    std::size_t finish() {
        std::fflush(stdout);
        dup2(savedOutput, 1);
        close(savedOutput);
        reader.join();
        close(readEnd);
        return bytes;
    }

  private:
    int savedOutput = -1;
    int readEnd = -1;
    std::size_t bytes = 0;
    std::thread reader;
};

struct Mode {
    const char* name;
    OptionFlags flags;
};

const Mode modes[] = {
    {"plain", 0},
    {"-c", Flag::noCompact},
    {"-n", Flag::numericSort},
    {"-p", Flag::showPids | Flag::noCompact},
    {"-u", Flag::uidChanges},
    {"-H last", Flag::highlight},
    {"user", Flag::user},
    {"-a", Flag::arguments | Flag::noCompact},
};

struct Shape {
    const char* name;
    std::function<MemoryRecords(std::size_t)> make;  // from a process count
    bool deep;       // with -a, the output grows with the square of the depth
    bool userRoots;  // timed in user mode only: in every other mode its output
                     // grows with the square of the depth
};

const Shape shapes[] = {
    {"chain", [](std::size_t n) { return chainShape(n - 1, true); }, true, false},
    {"chain+leaves", [](std::size_t n) { return chainWithLeavesShape(n / 2); }, true, true},
    {"forest", [](std::size_t n) { return forestShape(n); }, false, false},
    {"wide alike", [](std::size_t n) { return wideAlikeShape(n - 1); }, false, false},
    {"wide different", [](std::size_t n) { return wideDifferentShape(n / 2); }, false, false},
};

// An argument vector is asked for with -a; the source is opened on an empty
// directory, where every process has none.
SourceHandle& emptySource() {
    static const ProcessSource source = [] {
        char directory[] = "/tmp/vindle-scaling-XXXXXX";
        if (mkdtemp(directory) == nullptr) std::exit(2);
        ProcessSource opened = openProcDirectory(directory);
        rmdir(directory);
        return opened;
    }();
    return *source;
}

// The processor time of the calling thread: the run's own work, without the
// pipe's reader and far less disturbed by other work on a shared machine
// than the wall time.
// The clock's time type is taken from the reading function's signature.
template <typename Time>
double threadSecondsFrom(int (*readClock)(clockid_t, Time*)) {
    Time now{};
    readClock(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double threadSeconds() { return threadSecondsFrom(clock_gettime); }

struct Timing {
    double seconds;      // processor time of the run
    std::size_t bytes;   // of output
    double wallSeconds;  // from the start of the run until the reader has it all
};

// The records as a run's table takes them from the source: its own copy,
// made before anything is timed or measured.
ProcessSnapshot snapshotOf(std::span<const ProcessRecord> records) {
    ProcessSnapshot taken;
    taken.records.assign(records.begin(), records.end());
    return taken;
}

// One whole run over `records` in `mode`; the chain and leaves shapes are
// the only ones where user mode finds many roots.
Timing runOnce(ProcessSnapshot records, OptionFlags flags) {
    CommandLine line;
    line.flags = flags;
    line.highlightPid = records.records.back().pid;
    const auto wallStart = std::chrono::steady_clock::now();
    CountingPipe pipe;
    const double start = threadSeconds();
    {
        const RunOptions options = runOptionsOf(line, otherUid);
        ProcessTable table =
            makeTable([&](const RecordNeeds&) { return std::move(records); }, options.table);
        LineWriter writer({}, options.output, stdout);
        printForest(table, writer, emptySource(), options);
        std::fflush(stdout);
    }
    const double elapsed = threadSeconds() - start;
    const std::size_t bytes = pipe.finish();
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart;
    return {elapsed, bytes, wall.count()};
}

// A field of /proc/self/status in KiB (VmRSS, VmHWM).
long statusKib(const char* field) {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return -1;
    char line[256];
    long value = -1;
    const std::size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status) != nullptr)
        if (std::strncmp(line, field, length) == 0 && line[length] == ':')
            value = std::strtol(line + length + 1, nullptr, 10);
    std::fclose(status);
    return value;
}

// What `work` returns when run in a process of its own, which is how
// vindle runs: memory comes fresh from the kernel every time, at every size,
// rather than from what an earlier run left to the allocator. Any failure
// ends the benchmark with status 2.
template <typename Result, typename Work>
Result inChildProcess(Work work) {
    int channel[2];
    if (pipe(channel) != 0) std::exit(2);
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0) std::exit(2);
    if (child == 0) {
        close(channel[0]);
        const Result result = work();
        if (write(channel[1], &result, sizeof result) != static_cast<ssize_t>(sizeof result))
            _exit(2);
        _exit(0);
    }
    close(channel[1]);
    Result result{};
    const bool received =
        read(channel[0], &result, sizeof result) == static_cast<ssize_t>(sizeof result);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!received || status != 0) std::exit(2);
    return result;
}

// The peak resident memory that one run adds, in bytes per record: the
// peak is reset once the records are in place, so what counts is the table,
// its nodes and indexes, the roots, compaction and printing, not the records
// themselves (the kernel-access layer's).
double bytesPerProcess(std::span<const ProcessRecord> records, OptionFlags flags) {
    return inChildProcess<double>([&] {
        ProcessSnapshot taken = snapshotOf(records);
        volatile std::size_t touched = 0;
        for (const ProcessRecord& record : taken.records)
            touched = touched + static_cast<std::size_t>(record.pid);
        FILE* reset = std::fopen("/proc/self/clear_refs", "w");
        if (reset == nullptr || std::fputs("5", reset) < 0 || std::fclose(reset) != 0) _exit(2);
        const long before = statusKib("VmRSS");
        runOnce(std::move(taken), flags);
        const long peak = statusKib("VmHWM");
        return static_cast<double>(peak - before) * 1024.0 / static_cast<double>(records.size());
    });
}

// The best of `runs` runs, each in a process of its own, which a shared
// machine disturbs least.
Timing best(std::span<const ProcessRecord> records, OptionFlags flags, int runs) {
    Timing result{1e300, 0, 0};
    for (int i = 0; i < runs; ++i) {
        const Timing t =
            inChildProcess<Timing>([&] { return runOnce(snapshotOf(records), flags); });
        if (t.seconds < result.seconds) result = t;
    }
    return result;
}

// The yardstick for the table: a loop that is linear by construction and
// bound by memory alone, with the pattern of a run's passes over its nodes.
// It takes fresh memory for `count` nodes, as the table does, and then goes
// over them in order eight times, each time reading and writing one word of
// every node. Its own ratio between two sizes is what the machine's caches
// and memory give such passes over that many nodes.
double streamSeconds(std::size_t count) {
    const double start = threadSeconds();
    {
        struct Slot {
            unsigned char bytes[sizeof(ProcessNode)];
        };
        std::vector<Slot> slots(count);
        std::uint64_t sum = 0;
        for (std::size_t pass = 0; pass < 8; ++pass) {
            const std::size_t at = pass * 16 % (sizeof(Slot) - sizeof sum);
            for (Slot& slot : slots) {
                std::uint64_t word;
                std::memcpy(&word, slot.bytes + at, sizeof word);
                sum += word + 1;
                std::memcpy(slot.bytes + at, &sum, sizeof sum);
            }
        }
        volatile std::uint64_t sink = sum;
        (void)sink;
    }
    return threadSeconds() - start;
}

// The best time of `runs` runs of `work(i)` for every i below `count`, each
// run in a process of its own. The i take turns, run by run, so that a slow
// or a fast spell of a shared machine falls on every size alike rather than
// on one of them: the ratio between sizes is what the table is for.
template <typename Work>
std::vector<double> bestOfTurns(std::size_t count, int runs, Work work) {
    std::vector<double> best(count, 1e300);
    for (int run = 0; run < runs; ++run)
        for (std::size_t i = 0; i < count; ++i)
            best[i] = std::min(best[i], inChildProcess<double>([&] { return work(i); }));
    return best;
}

std::vector<std::size_t> parseSizes(const char* text) {
    std::vector<std::size_t> sizes;
    for (const char* p = text; *p != '\0';) {
        char* end = nullptr;
        sizes.push_back(std::strtoul(p, &end, 10));
        p = *end == ',' ? end + 1 : end;
        if (end == p && *p != '\0') break;
    }
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes{10000, 100000, 1000000};
    std::size_t deepOutput = 0;
    bool memory = false;
    std::string onlyShape;
    std::string onlyMode;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sizes") == 0 && i + 1 < argc) {
            sizes = parseSizes(argv[++i]);
        } else if (std::strcmp(argv[i], "--memory") == 0) {
            memory = true;
        } else if (std::strcmp(argv[i], "--shape") == 0 && i + 1 < argc) {
            onlyShape = argv[++i];
        } else if (std::strcmp(argv[i], "--mode") == 0 && i + 1 < argc) {
            onlyMode = argv[++i];
        } else if (std::strcmp(argv[i], "--deep-output") == 0 && i + 1 < argc) {
            deepOutput = std::strtoul(argv[++i], nullptr, 10);
        } else {
            std::fprintf(stderr,
                         "usage: %s [--sizes N,N,...] [--shape NAME] [--mode NAME] [--memory]\n"
                         "       %s --deep-output DEPTH\n",
                         argv[0], argv[0]);
            return 2;
        }
    }
    if (deepOutput != 0) {
        const MemoryRecords made = chainWithLeavesShape(deepOutput);
        std::span<const ProcessRecord> records = made.records();
        for (const Mode& mode : {modes[0], modes[7]}) {
            Timing t = best(records, mode.flags, 3);
            std::printf(
                "chain of %zu with a leaf at every level, %-5s %8.1f MB in %6.3f s: %7.1f MB/s\n",
                deepOutput, mode.name, static_cast<double>(t.bytes) / 1e6, t.wallSeconds,
                static_cast<double>(t.bytes) / 1e6 / t.wallSeconds);
        }
        return 0;
    }
    std::printf("%-16s %-8s", "shape", "mode");
    for (std::size_t size : sizes) std::printf(" %9zu", size);
    if (memory)
        std::printf("   peak bytes per process above the records\n");
    else
        std::printf("   ns per process; last ratio t(%zu)/t(%zu)\n", sizes.back(),
                    sizes.size() > 1 ? sizes[sizes.size() - 2] : sizes.back());
    for (const Shape& shape : shapes) {
        for (const Mode& mode : modes) {
            if (shape.userRoots && (mode.flags & Flag::user) == 0) continue;
            if (!onlyShape.empty() && onlyShape != shape.name) continue;
            if (!onlyMode.empty() && onlyMode != mode.name) continue;
            std::printf("%-16s %-8s", shape.name, mode.name);
            std::fflush(stdout);
            // The records of every size first (none where the output would
            // grow with the square of the depth), then the runs.
            std::vector<MemoryRecords> made;
            for (std::size_t size : sizes) {
                const bool skipped =
                    shape.deep && (mode.flags & Flag::arguments) != 0 && size > 10000;
                made.push_back(skipped ? MemoryRecords() : shape.make(size));
            }
            std::vector<double> times(sizes.size(), 0);
            if (memory) {
                for (std::size_t i = 0; i < sizes.size(); ++i)
                    if (!made[i].records().empty())
                        times[i] = bytesPerProcess(made[i].records(), mode.flags);
            } else {
                times = bestOfTurns(sizes.size(), 5, [&](std::size_t i) {
                    return made[i].records().empty()
                               ? 0
                               : runOnce(snapshotOf(made[i].records()), mode.flags).seconds;
                });
            }
            for (std::size_t i = 0; i < sizes.size(); ++i) {
                if (made[i].records().empty()) {
                    std::printf(" %9s", "-");
                    continue;
                }
                const double perProcess =
                    memory ? 1 : 1e9 / static_cast<double>(made[i].records().size());
                std::printf(" %9.0f", times[i] * perProcess);
            }
            if (!memory && times.size() > 1 && times[times.size() - 2] > 0 && times.back() > 0)
                std::printf("   %5.2f", times.back() / times[times.size() - 2]);
            std::printf("\n");
        }
    }
    if (!memory && (onlyShape.empty() || onlyShape == "stream")) {
        std::printf("%-16s %-8s", "stream", "-");
        const std::vector<double> times =
            bestOfTurns(sizes.size(), 5, [&](std::size_t i) { return streamSeconds(sizes[i]); });
        for (std::size_t i = 0; i < sizes.size(); ++i)
            std::printf(" %9.0f", times[i] * 1e9 / static_cast<double>(sizes[i]));
        if (times.size() > 1) std::printf("   %5.2f", times.back() / times[times.size() - 2]);
        std::printf("\n");
    }
    return 0;
}
