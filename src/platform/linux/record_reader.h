// Reading the records of listed processes, on the calling thread alone or
// spread over several.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/linux/start_time_bound.h"
#include "platform/name_store.h"
#include "platform/process_record.h"

// Where the records come from.
struct RecordSource {
    int rootFd = -1;      // the directory laid out like /proc
    bool realUid = true;  // from status, with the uid; otherwise from stat
    // The clock that bounds the start times read from stat (see
    // StartTimeBound); none for a directory other than the real /proc.
    StartTimeBound::Clock startClock = nullptr;
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

// Whether a snapshot was read whole, and if not, why.
struct ReadFailure {
    enum class Cause : std::uint8_t {
        none,     // every record was read or rightly left out
        process,  // the process `pid` could not be read, for the reason `error`
        memory,   // memory ran out
    };
    Cause cause = Cause::none;
    int error = 0;  // errno, with Cause::process
    pid_t pid = 0;  // with Cause::process
};

// Whether a failure to read a process's text with `error` leaves the
// process out: it is gone (ENOENT, ESRCH) or hidden from this user (EACCES,
// EPERM). Any other error is a resource that ran out, or worse.
bool leavesProcessOut(int error);

// Replaces `records` with the record of every process in `pids` that can
// still be read, in the order of `pids`. A process that is gone or hidden
// is left out; one that cannot be read for another reason (descriptors or
// memory ran out) is read again once the threads are done, on the calling
// thread alone, and when that fails too the result is the failure, never a
// table with the process missing. `threads` threads share the work, the
// calling one among them, each writing the records of the runs of pids it
// takes to their own places; the result is the same for any number of
// threads. A thread that meets such a failure takes no further runs. `names`
// is emptied and then keeps the names that the records point at. A failure
// leaves `records` and `names` unusable.
ReadFailure readRecords(const RecordSource& source, const std::vector<pid_t>& pids,
                        unsigned threads, std::vector<ProcessRecord>& records, NameStore& names);
