// The readers of records when descriptors or memory run out: the table is
// whole or the read fails, never a table with processes missing, and never
// an abort.
#include "platform/linux/record_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/linux/proc_handle.h"
#include "platform/process_source.h"
#include "support/proc_fixture.h"

namespace {

// The sanitizers reserve far more address space than any limit here allows.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif
#else
constexpr bool sanitized = false;
#endif

// Runs `body` in a child process, whose limits it may lower at will, and
// returns what it said; how the child ended instead when it did not exit
// with status 0.
std::string inChild(const std::function<std::string()>& body) {
    int ends[2];
    if (pipe(ends) != 0) return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        const std::string said = body();
        const ssize_t written = write(ends[1], said.data(), said.size());
        _exit(written == static_cast<ssize_t>(said.size()) ? 0 : 1);
    }
    close(ends[1]);
    std::string said;
    char buffer[256];
    for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<std::size_t>(n));
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
    if (WEXITSTATUS(status) != 0) return "exit " + std::to_string(WEXITSTATUS(status));
    return said;
}

// Sets the soft limit of `resource`; the hard one stays, so that the soft
// one can be raised again.
void setSoftLimit(int resource, rlim_t value) {
    rlimit limit{};
    getrlimit(resource, &limit);
    limit.rlim_cur = value;
    setrlimit(resource, &limit);
}

// Pids 1 to `count`, each process named after its pid, below pid 1.
std::vector<pid_t> addProcesses(ProcFixture& proc, pid_t count) {
    std::vector<pid_t> pids;
    for (pid_t pid = 1; pid <= count; ++pid) {
        proc.add(process(pid, pid == 1 ? 0 : 1, "p" + std::to_string(pid)));
        pids.push_back(pid);
    }
    return pids;
}

// "whole" when `records` holds every process of addProcesses, in any order;
// otherwise what is missing.
std::string wholeOrNot(std::vector<ProcessRecord> records, std::size_t expected) {
    if (records.size() != expected)
        return "partial: " + std::to_string(records.size()) + " of " + std::to_string(expected);
    std::sort(records.begin(), records.end(),
              [](const ProcessRecord& a, const ProcessRecord& b) { return a.pid < b.pid; });
    for (std::size_t i = 0; i < records.size(); ++i) {
        const pid_t pid = static_cast<pid_t>(i + 1);
        if (records[i].pid != pid || "p" + std::to_string(pid) != records[i].name)
            return "wrong record for pid " + std::to_string(pid);
    }
    return "whole";
}

// What a read of `source` gave: "whole" or what is missing, or why it failed.
std::string readOutcome(SourceHandle& source, const RecordNeeds& needs, std::size_t expected) {
    try {
        return wholeOrNot(readProcesses(source, needs).records, expected);
    } catch (const Failure& failure) {
        return "failed: " + failure.message;
    } catch (const std::bad_alloc&) {
        return "failed: out of memory";
    }
}

TEST(ReaderLimitsTest, WithFewDescriptorsTheTableIsWholeOrTheReadFails) {
    ProcFixture proc;
    const std::vector<pid_t> pids = addProcesses(proc, 300);
    for (bool realUid : {false, true}) {
        for (unsigned threads : {1u, 16u}) {
            // Spare: the descriptors free below the limit. With one the
            // calling thread alone reads everything; with none, nothing.
            for (int spare : {0, 1, 2, 5}) {
                SCOPED_TRACE(::testing::Message()
                             << (realUid ? "status" : "stat") << ", " << threads << " threads, "
                             << spare << " spare descriptors");
                const std::string outcome = inChild([&] {
                    const int rootFd = open(proc.root().c_str(), O_RDONLY | O_DIRECTORY);
                    const int lowestFree = dup(rootFd);  // every one below it is taken
                    close(lowestFree);
                    setSoftLimit(RLIMIT_NOFILE, static_cast<rlim_t>(lowestFree + spare));
                    std::vector<ProcessRecord> records;
                    NameStore names;
                    const ReadFailure failure = readRecords({.rootFd = rootFd, .realUid = realUid},
                                                            pids, threads, records, names);
                    setSoftLimit(RLIMIT_NOFILE, 1024);
                    if (failure.cause != ReadFailure::Cause::none)
                        return std::string("failed: ") + std::strerror(failure.error);
                    return wholeOrNot(records, pids.size());
                });
                EXPECT_EQ(outcome, spare == 0 ? "failed: Too many open files" : "whole");
            }
        }
    }
}

TEST(ReaderLimitsTest, TheLayerReadsWholeWithOneDescriptorForManyThreads) {
    // Through the layer's own listing, which needs a descriptor of its own
    // first and gives it back before the readers start; then sixteen
    // readers meet on the one descriptor left.
    ProcFixture proc;
    const std::vector<pid_t> pids = addProcesses(proc, 2000);
    for (bool realUid : {false, true}) {
        SCOPED_TRACE(realUid ? "status" : "stat");
        const std::string outcome = inChild([&] {
            SourceHandle& source = proc.open();
            source.threads = 16;
            source.threadedFrom = 0;
            const int lowestFree = dup(source.rootFd);
            close(lowestFree);
            setSoftLimit(RLIMIT_NOFILE, static_cast<rlim_t>(lowestFree + 1));
            const std::string read = readOutcome(source, {.realUid = realUid}, pids.size());
            setSoftLimit(RLIMIT_NOFILE, 1024);
            return read;
        });
        EXPECT_EQ(outcome, "whole");
    }
}

// The address space this process has mapped, in bytes.
rlim_t mappedBytes() {
    std::ifstream statm("/proc/self/statm");
    unsigned long long pages = 0;
    statm >> pages;
    return static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

TEST(ReaderLimitsTest, WhenMemoryRunsOutOnAnyThreadTheReadFailsWithoutAnAbort) {
    if (sanitized) GTEST_SKIP() << "a sanitizer build: no address-space limit applies";
    ProcFixture proc;
    const std::vector<pid_t> pids = addProcesses(proc, 256);
    // From no room for a new mapping to room for every thread, in steps
    // smaller than what a thread takes (its stack, its buffer and a block
    // of names), so that the memory runs out before, between and after the
    // threads start. The threads get small stacks, or none would start
    // under these limits; with no room for one, the calling thread reads
    // alone. (In a test process that has run threads before, the runtime
    // may reuse their stacks and memory, and the sweep then finds room
    // where a fresh process, as ctest starts for each test, runs short.)
    constexpr rlim_t step = 16 * 1024;
    constexpr int steps = 40;
    std::vector<std::string> outcomes;
    for (int i = 0; i < steps; ++i) {
        outcomes.push_back(inChild([&] {
            pthread_attr_t attributes;
            pthread_attr_init(&attributes);
            pthread_attr_setstacksize(&attributes, 64 * 1024);
            pthread_setattr_default_np(&attributes);
            SourceHandle& source = proc.open();
            source.threads = 4;
            source.threadedFrom = 0;
            setSoftLimit(RLIMIT_AS, mappedBytes() + static_cast<rlim_t>(i) * step);
            const std::string read = readOutcome(source, {}, pids.size());
            setSoftLimit(RLIMIT_AS, RLIM_INFINITY);
            return read;
        }));
    }
    ASSERT_FALSE(outcomes.empty());
    EXPECT_EQ(outcomes.back(), "whole") << "no limit in the sweep was enough";
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        EXPECT_TRUE(outcomes[i] == "whole" || outcomes[i] == "failed: out of memory")
            << "at " << i * step << " bytes above the start: " << outcomes[i];
    }
}

TEST(ReaderLimitsTest, ArgumentsLargerThanTheMemoryLeftFailTheReadWithoutAnAbort) {
    if (sanitized) GTEST_SKIP() << "a sanitizer build: no address-space limit applies";
    ProcFixture proc;
    proc.add(process(1, 0, "init"));
    proc.add(process(2, 1, "big"));
    {
        // Written in pieces: the test keeps no copy whose freed memory
        // the child could reuse.
        std::ofstream cmdline(proc.root() + "/2/cmdline", std::ios::binary | std::ios::trunc);
        const std::string piece(64 * 1024, 'x');
        for (int i = 0; i < 256; ++i) cmdline << piece;
    }
    const std::string outcome = inChild([&] {
        SourceHandle& source = proc.open();
        setSoftLimit(RLIMIT_AS, mappedBytes() + 1024 * 1024);
        // What earlier tests freed in this heap is memory left too: all of
        // it is taken, and a mebibyte given back, for the read to fail in.
        void* taken = nullptr;
        while (void* block = std::malloc(64 * 1024)) {
            *static_cast<void**>(block) = taken;
            taken = block;
        }
        for (int i = 0; i < 16 && taken != nullptr; ++i) {
            void* next = *static_cast<void**>(taken);
            std::free(taken);
            taken = next;
        }
        std::string read;
        try {
            char** vector = readArguments(source, 2, ArgumentExtent::all).words;
            read =
                vector == nullptr ? "no vector" : "read " + std::to_string(std::strlen(vector[0]));
        } catch (const std::bad_alloc&) {
            read = "failed: out of memory";
        }
        setSoftLimit(RLIMIT_AS, RLIM_INFINITY);
        return read;
    });
    EXPECT_EQ(outcome, "failed: out of memory");
}

}  // namespace
