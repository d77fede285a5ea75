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
enum class ReadResult : std::uint8_t {
    read,     // the record and the name are filled
    leftOut,  // gone, hidden, or its text cut short or not understood
    failed,   // a resource ran out (errno tells which): to be read again
};

ReadResult resultOfError(int error) {
    return leavesProcessOut(error) ? ReadResult::leftOut : ReadResult::failed;
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
ReadResult readFromStat(int rootFd, pid_t pid, char* text, ProcessRecord& record, CommandName& name,
                        StartTimeBound& bound) {
    ssize_t n = readFile(rootFd, EntryPath(pid, "stat").text, text, textBufferSize);
    if (n < 0) return resultOfError(errno);
    const bool parsed = n > 0 && parseStat(std::string_view(text, static_cast<std::size_t>(n)),
                                           record, name, bound);
    return parsed ? ReadResult::read : ReadResult::leftOut;
}

ReadResult readFromStatus(int rootFd, pid_t pid, char* text, ProcessRecord& record,
                          CommandName& name) {
    ssize_t n = readFile(rootFd, EntryPath(pid, "status").text, text, textBufferSize);
    if (n < 0) return resultOfError(errno);
    if (n == 0) return ReadResult::leftOut;
    StatusFields fields =
        parseStatus(std::string_view(text, static_cast<std::size_t>(n)), record, name);
    if (!isComplete(fields)) return ReadResult::leftOut;
    if (fields.hasKthread) return ReadResult::read;
    // Kernels without the "Kthread:" line: the mark comes from stat.
    ProcessRecord fromStat{};
    CommandName statName;
    StartTimeBound unused;  // the start time is not kept
    const ReadResult result = readFromStat(rootFd, pid, text, fromStat, statName, unused);
    if (result == ReadResult::read) record.kernel = fromStat.kernel;
    return result;
}

// Reads the record of `pid` into `record` (filled afresh) and, when it is
// read, its name into `names`. Start times from stat are bounded by `bound`.
ReadResult readOne(const RecordSource& source, pid_t pid, char* text, ProcessRecord& record,
                   NameStore& names, StartTimeBound& bound) {
    CommandName name;
    record = ProcessRecord{};
    record.pid = pid;
    const ReadResult result = source.realUid
                                  ? readFromStatus(source.rootFd, pid, text, record, name)
                                  : readFromStat(source.rootFd, pid, text, record, name, bound);
    if (result == ReadResult::read) record.name = names.keep(name.text);
    return result;
}

// One place per listed process, all of them filled by the readers: the
// record and what became of its reading.
struct Slots {
    const std::vector<pid_t>& pids;
    std::vector<ProcessRecord>& records;
    std::vector<ReadResult>& results;
};

// Reads the records of pids[first, last) into the same places of the slots,
// their names into `names`. Returns whether any reading failed.
bool readRange(const RecordSource& source, Slots slots, std::size_t first, std::size_t last,
               char* text, NameStore& names) {
    bool anyFailed = false;
    StartTimeBound bound(source.startClock);
    for (std::size_t i = first; i < last; ++i) {
        slots.results[i] = readOne(source, slots.pids[i], text, slots.records[i], names, bound);
        anyFailed |= slots.results[i] == ReadResult::failed;
    }
    return anyFailed;
}

// Reads again, on the calling thread, every record whose reading failed;
// the first failure that repeats is the result.
ReadFailure readFailedAgain(const RecordSource& source, Slots slots, NameStore& names) {
    TextBuffer text = newTextBuffer();
    StartTimeBound bound(source.startClock);
    for (std::size_t i = 0; i < slots.pids.size(); ++i) {
        if (slots.results[i] != ReadResult::failed) continue;
        slots.results[i] =
            readOne(source, slots.pids[i], text.get(), slots.records[i], names, bound);
        if (slots.results[i] == ReadResult::failed)
            return {ReadFailure::Cause::process, errno, slots.pids[i]};
    }
    return {};
}

// Keeps the records that were read, in their order.
void closeGaps(std::vector<ProcessRecord>& records, const std::vector<ReadResult>& results) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (results[i] == ReadResult::read) records[kept++] = records[i];
    records.resize(kept);
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

namespace {

// The shared state of the readers: the next run of pids to take and what
// any of them met.
struct ReadProgress {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> anyFailed{false};
    std::atomic<bool> outOfMemory{false};
};

// One reader: takes the next run of pids until none is left, writing each
// run's records to the run's own places and their names to its own store,
// so that no two readers write the same memory. A helper whose reading
// failed stops, leaving the rest to the others: the descriptors it held are
// free for them. Memory that runs out is reported, not thrown.
void readRuns(const RecordSource& source, Slots slots, NameStore& names, ReadProgress& progress,
              bool helper) {
    try {
        TextBuffer text = newTextBuffer();
        for (;;) {
            const std::size_t first =
                progress.next.fetch_add(pidsPerTake, std::memory_order_relaxed);
            if (first >= slots.pids.size()) return;
            const std::size_t last = std::min(first + pidsPerTake, slots.pids.size());
            if (readRange(source, slots, first, last, text.get(), names)) {
                progress.anyFailed.store(true, std::memory_order_relaxed);
                if (helper) return;
            }
        }
    } catch (const std::bad_alloc&) {
        progress.outOfMemory.store(true, std::memory_order_relaxed);
    }
}

// Runs `threads` readers, the calling thread among them, as many helpers
// as can be started; the names of all end in `names`.
void readOnThreads(const RecordSource& source, Slots slots, unsigned threads, NameStore& names,
                   ReadProgress& progress) {
    if (threads <= 1) {
        readRuns(source, slots, names, progress, false);
        return;
    }
    std::vector<NameStore> threadNames(threads);
    std::vector<std::thread> helpers;
    helpers.reserve(threads - 1);
    for (unsigned i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back(readRuns, std::cref(source), slots, std::ref(threadNames[i]),
                                 std::ref(progress), true);
        } catch (const std::system_error&) {
            break;  // no more threads to be had: those running share the rest
        } catch (const std::bad_alloc&) {
            break;
        }
    }
    readRuns(source, slots, threadNames[0], progress, false);
    for (std::thread& helper : helpers) helper.join();
    for (NameStore& kept : threadNames) names.takeAll(kept);
}

}  // namespace

ReadFailure readRecords(const RecordSource& source, const std::vector<pid_t>& pids,
                        unsigned threads, std::vector<ProcessRecord>& records, NameStore& names) {
    records.resize(pids.size());
    std::vector<ReadResult> results(pids.size(), ReadResult::leftOut);
    names.clear();
    const Slots slots{pids, records, results};
    ReadProgress progress;
    readOnThreads(source, slots, threads, names, progress);
    if (progress.outOfMemory.load(std::memory_order_relaxed))
        return {ReadFailure::Cause::memory, ENOMEM, 0};
    if (progress.anyFailed.load(std::memory_order_relaxed)) {
        const ReadFailure failure = readFailedAgain(source, slots, names);
        if (failure.cause != ReadFailure::Cause::none) return failure;
    }
    closeGaps(records, results);
    return {};
}
