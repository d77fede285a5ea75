#include "platform/linux/record_reader.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string_view>
#include <system_error>
#include <thread>

#include "platform/linux/entry_path.h"
#include "platform/linux/plain_io.h"
#include "platform/linux/proc_stat.h"
#include "platform/linux/proc_status.h"

namespace {

// Enough for every stat and status text the kernel writes today (status is
// about 1.5 KiB).
constexpr std::size_t textBufferSize = 4096;

// Pids taken by a thread at a time: few enough that the threads finish
// together, enough that they rarely meet on the shared counter.
constexpr std::size_t pidsPerTake = 64;

// Reads what fits of `path` below the directory `dirFd` into `buffer`;
// returns the byte count, or -1 when the file cannot be opened or read.
ssize_t readFile(int dirFd, const char* path, char* buffer, std::size_t size) {
    const int fd = openFile(dirFd, path);
    if (fd < 0) return -1;
    const ssize_t read = readUpTo(fd, buffer, size);
    closeFile(fd);
    return read;
}

// The record of one process from its stat text (no uid) or its status
// text; false when the process is gone or its text cannot be read or
// understood.
bool readFromStat(int rootFd, pid_t pid, kinfo_proc& record, CommandName& name) {
    char text[textBufferSize];
    ssize_t n = readFile(rootFd, EntryPath(pid, "stat").text, text, sizeof text);
    return n > 0 && parseStat(std::string_view(text, static_cast<std::size_t>(n)), record, name);
}

bool readFromStatus(int rootFd, pid_t pid, kinfo_proc& record, CommandName& name) {
    char text[textBufferSize];
    ssize_t n = readFile(rootFd, EntryPath(pid, "status").text, text, sizeof text);
    if (n <= 0) return false;
    StatusFields fields =
        parseStatus(std::string_view(text, static_cast<std::size_t>(n)), record, name);
    if (!isComplete(fields)) return false;
    if (fields.hasKthread) return true;
    // Kernels without the "Kthread:" line: the mark comes from stat.
    kinfo_proc fromStat{};
    CommandName statName;
    if (!readFromStat(rootFd, pid, fromStat, statName)) return false;
    record.ki_flag |= fromStat.ki_flag & P_SYSTEM;
    return true;
}

// Reads the records of pids[first, last) into the same places of `records`,
// their names into `names`; the place of a process that cannot be read gets
// pid 0.
void readRange(const RecordSource& source, const std::vector<pid_t>& pids, std::size_t first,
               std::size_t last, std::vector<kinfo_proc>& records, NameStore& names) {
    CommandName name;
    for (std::size_t i = first; i < last; ++i) {
        kinfo_proc& record = records[i];
        record.ki_pid = pids[i];
        const bool read = source.realUid ? readFromStatus(source.rootFd, pids[i], record, name)
                                         : readFromStat(source.rootFd, pids[i], record, name);
        if (read)
            record.ki_comm = names.keep(name.text);
        else
            record.ki_pid = 0;
    }
}

unsigned usableCpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
    return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
}

}  // namespace

unsigned readerThreads(std::size_t entries, unsigned threads, std::size_t threadedFrom) {
    if (entries < threadedFrom || entries < 2) return 1;
    if (threads == 0) threads = std::min(usableCpus(), maxReaderThreads);
    return static_cast<unsigned>(std::min<std::size_t>(threads, entries));
}

void readRecords(const RecordSource& source, const std::vector<pid_t>& pids, unsigned threads,
                 std::vector<kinfo_proc>& records, NameStore& names) {
    records.assign(pids.size(), kinfo_proc{});
    names.clear();
    if (threads <= 1) {
        readRange(source, pids, 0, pids.size(), records, names);
    } else {
        // Every thread takes the next run of pids until none is left; a run's
        // records go to the run's own places and their names to the thread's
        // own store, so no two threads write the same memory and the order
        // is the listing's.
        std::atomic<std::size_t> next{0};
        std::vector<NameStore> threadNames(threads);
        auto work = [&](NameStore& kept) {
            for (;;) {
                const std::size_t first = next.fetch_add(pidsPerTake, std::memory_order_relaxed);
                if (first >= pids.size()) return;
                const std::size_t last = std::min(first + pidsPerTake, pids.size());
                readRange(source, pids, first, last, records, kept);
            }
        };
        std::vector<std::thread> helpers;
        helpers.reserve(threads - 1);
        for (unsigned i = 1; i < threads; ++i) {
            try {
                helpers.emplace_back(work, std::ref(threadNames[i]));
            } catch (const std::system_error&) {
                break;  // no more threads to be had: those running share the rest
            }
        }
        work(threadNames[0]);
        for (std::thread& helper : helpers) helper.join();
        for (NameStore& kept : threadNames) names.takeAll(kept);
    }
    // Close the gaps of processes that could not be read, keeping the order.
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [](const kinfo_proc& record) { return record.ki_pid == 0; }),
                  records.end());
}
