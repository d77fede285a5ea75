#include "platform/linux/record_reader.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <functional>
#include <memory>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>

#include "platform/linux/entry_path.h"
#include "platform/linux/plain_io.h"
#include "platform/linux/proc_stat.h"
#include "platform/linux/proc_status.h"

namespace {

// Enough for every stat and status text the kernel writes today (status is
// about 1.5 KiB). Each reader keeps its buffer on the heap: a thread's stack
// is as small as RLIMIT_STACK makes it.
constexpr std::size_t textBufferSize = 4096;

using TextBuffer = std::unique_ptr<char[]>;

TextBuffer newTextBuffer() { return std::make_unique_for_overwrite<char[]>(textBufferSize); }

// Pids taken by a thread at a time: few enough that the threads finish
// together, enough that they rarely meet on the shared counter.
constexpr std::size_t pidsPerTake = 64;

// What became of the reading of one process.
enum class Outcome {
    read,     // the record and the name are filled
    leftOut,  // gone, hidden, or its text cut short or not understood
    failed,   // a resource ran out (errno tells which): to be read again
};

Outcome outcomeOfError(int error) {
    return leavesProcessOut(error) ? Outcome::leftOut : Outcome::failed;
}

// Reads what fits of `path` below the directory `dirFd` into `buffer`;
// returns the byte count, or -1 with errno set when the file cannot be
// opened or read.
ssize_t readFile(int dirFd, const char* path, char* buffer, std::size_t size) {
    const OpenFile file(dirFd, path);
    return file.isOpen() ? readUpTo(file.descriptor(), buffer, size) : -1;
}

// The record of one process from its stat text (no uid) or its status
// text, read through `text` (textBufferSize bytes).
Outcome readFromStat(int rootFd, pid_t pid, char* text, kinfo_proc& record, CommandName& name,
                     StartTimeBound& bound) {
    ssize_t n = readFile(rootFd, EntryPath(pid, "stat").text, text, textBufferSize);
    if (n < 0) return outcomeOfError(errno);
    const bool parsed = n > 0 && parseStat(std::string_view(text, static_cast<std::size_t>(n)),
                                           record, name, bound);
    return parsed ? Outcome::read : Outcome::leftOut;
}

Outcome readFromStatus(int rootFd, pid_t pid, char* text, kinfo_proc& record, CommandName& name) {
    ssize_t n = readFile(rootFd, EntryPath(pid, "status").text, text, textBufferSize);
    if (n < 0) return outcomeOfError(errno);
    if (n == 0) return Outcome::leftOut;
    StatusFields fields =
        parseStatus(std::string_view(text, static_cast<std::size_t>(n)), record, name);
    if (!isComplete(fields)) return Outcome::leftOut;
    if (fields.hasKthread) return Outcome::read;
    // Kernels without the "Kthread:" line: the mark comes from stat.
    kinfo_proc fromStat{};
    CommandName statName;
    StartTimeBound unused;  // the start time is not kept
    const Outcome outcome = readFromStat(rootFd, pid, text, fromStat, statName, unused);
    if (outcome == Outcome::read) record.ki_flag |= fromStat.ki_flag & P_SYSTEM;
    return outcome;
}

Outcome readOne(const RecordSource& source, pid_t pid, char* text, kinfo_proc& record,
                CommandName& name, StartTimeBound& bound) {
    return source.realUid ? readFromStatus(source.rootFd, pid, text, record, name)
                          : readFromStat(source.rootFd, pid, text, record, name, bound);
}

// Reads the records of pids[first, last) into the same places of `records`,
// their names into `names`. The place of a process left out gets pid 0; that
// of one whose reading failed keeps its pid and no name. Returns whether any
// reading failed.
bool readRange(const RecordSource& source, const std::vector<pid_t>& pids, std::size_t first,
               std::size_t last, char* text, std::vector<kinfo_proc>& records, NameStore& names) {
    CommandName name;
    StartTimeBound bound(source.startClock);
    bool anyFailed = false;
    for (std::size_t i = first; i < last; ++i) {
        kinfo_proc& record = records[i];
        record.ki_pid = pids[i];
        switch (readOne(source, pids[i], text, record, name, bound)) {
            case Outcome::read:
                record.ki_comm = names.keep(name.text);
                break;
            case Outcome::leftOut:
                record.ki_pid = 0;
                break;
            case Outcome::failed:
                anyFailed = true;
                break;
        }
    }
    return anyFailed;
}

// Reads again, on the calling thread, every record whose reading failed;
// the first failure that repeats is the result.
ReadFailure readFailedAgain(const RecordSource& source, std::vector<kinfo_proc>& records,
                            NameStore& names) {
    TextBuffer text = newTextBuffer();
    CommandName name;
    StartTimeBound bound(source.startClock);
    for (kinfo_proc& record : records) {
        if (record.ki_pid == 0 || record.ki_comm != nullptr) continue;
        const pid_t pid = record.ki_pid;
        record = kinfo_proc{};
        record.ki_pid = pid;
        const Outcome outcome = readOne(source, pid, text.get(), record, name, bound);
        if (outcome == Outcome::failed) return {errno, pid};
        if (outcome == Outcome::read)
            record.ki_comm = names.keep(name.text);
        else
            record.ki_pid = 0;
    }
    return {};
}

unsigned usableCpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
    return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
}

}  // namespace

bool leavesProcessOut(int error) {
    return error == ENOENT || error == ESRCH || error == EACCES || error == EPERM;
}

unsigned readerThreads(std::size_t entries, unsigned threads, std::size_t threadedFrom) {
    if (entries < threadedFrom || entries < 2) return 1;
    if (threads == 0) threads = std::min(usableCpus(), maxReaderThreads);
    return static_cast<unsigned>(std::min<std::size_t>(threads, entries));
}

ReadFailure readRecords(const RecordSource& source, const std::vector<pid_t>& pids,
                        unsigned threads, std::vector<kinfo_proc>& records, NameStore& names) {
    records.assign(pids.size(), kinfo_proc{});
    names.clear();
    // Every reader takes the next run of pids until none is left; a run's
    // records go to the run's own places and their names to the reader's
    // own store, so no two threads write the same memory and the order is
    // the listing's. A helper thread whose reading failed stops, leaving
    // the rest to the others: the descriptors it held are free for them.
    // Memory that runs out on any thread fails the whole.
    std::atomic<std::size_t> next{0};
    std::atomic<bool> anyFailed{false};
    std::atomic<bool> outOfMemory{false};
    auto work = [&](NameStore& kept, bool helper) {
        try {
            TextBuffer text = newTextBuffer();
            for (;;) {
                const std::size_t first = next.fetch_add(pidsPerTake, std::memory_order_relaxed);
                if (first >= pids.size()) return;
                const std::size_t last = std::min(first + pidsPerTake, pids.size());
                if (readRange(source, pids, first, last, text.get(), records, kept)) {
                    anyFailed.store(true, std::memory_order_relaxed);
                    if (helper) return;
                }
            }
        } catch (const std::bad_alloc&) {
            outOfMemory.store(true, std::memory_order_relaxed);
        }
    };
    if (threads <= 1) {
        work(names, false);
    } else {
        std::vector<NameStore> threadNames(threads);
        std::vector<std::thread> helpers;
        helpers.reserve(threads - 1);
        for (unsigned i = 1; i < threads; ++i) {
            try {
                helpers.emplace_back(work, std::ref(threadNames[i]), true);
            } catch (const std::system_error&) {
                break;  // no more threads to be had: those running share the rest
            } catch (const std::bad_alloc&) {
                break;
            }
        }
        work(threadNames[0], false);
        for (std::thread& helper : helpers) helper.join();
        for (NameStore& kept : threadNames) names.takeAll(kept);
    }
    if (outOfMemory.load(std::memory_order_relaxed)) return {ENOMEM, 0};
    if (anyFailed.load(std::memory_order_relaxed)) {
        const ReadFailure failure = readFailedAgain(source, records, names);
        if (failure.error != 0) return failure;
    }
    // Close the gaps of processes left out, keeping the order.
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [](const kinfo_proc& record) { return record.ki_pid == 0; }),
                  records.end());
    return {};
}
