// Reading the records of listed processes, on the calling thread alone or
// spread over several.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <vector>

#include "platform/kvm.h"
#include "platform/linux/name_store.h"

// Where the records come from.
struct RecordSource {
    int rootFd = -1;      // the directory laid out like /proc
    bool realUid = true;  // from status, with the uid; otherwise from stat
};

// How many threads read a listing of `entries` processes: one below
// `threadedFrom` entries; otherwise `threads`, or when that is 0 one per
// CPU this process may run on, at most maxReaderThreads.
unsigned readerThreads(std::size_t entries, unsigned threads, std::size_t threadedFrom);

// Fewest processes that are read on more than one thread by default: below
// it the threads cost more than they save.
constexpr std::size_t defaultThreadedFrom = 1000;

// Most threads that read by default. The kernel writes each process's text
// under that process's own locks, so readers need not wait for one another;
// but the listing and the closing of gaps stay on one thread, which bounds
// what more threads can gain.
constexpr unsigned maxReaderThreads = 16;

// Replaces `records` with the record of every process in `pids` that can
// still be read, in the order of `pids`; a process that is gone or cannot be
// read is left out. `threads` threads share the work, the calling one among
// them, each writing the records of the runs of pids it takes to their own
// places; the result is the same for any number of threads. `names` is
// emptied and then keeps the names that the records point at.
void readRecords(const RecordSource& source, const std::vector<pid_t>& pids, unsigned threads,
                 std::vector<kinfo_proc>& records, NameStore& names);
