// The system's process table as a run reads it: open, read every process
// once, ask for the argument vectors of some, close. Each system's
// directory implements these (FreeBSD through libkvm, Linux over /proc).
// Every failure is thrown as a Failure whose message says why.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/argument_vector.h"
#include "platform/name_store.h"
#include "platform/process_record.h"

// The members of a record that a run needs beyond those every record has
// (pid, parent pid, kernel mark, name, start time where the system tells).
struct RecordNeeds {
    bool realUid = false;  // user decorations and user mode
};

// Every process of the table, in the order the system listed them, with the
// names that the records point at.
struct ProcessSnapshot {
    std::vector<ProcessRecord> records;
    NameStore names;
};

// Reads a snapshot with what a run needs: the system's table in a run,
// records made in memory in tests.
using SnapshotReader = std::function<ProcessSnapshot(const RecordNeeds&)>;

// The open table; what it holds is the system's own.
struct SourceHandle;

void closeSource(SourceHandle* source);

struct SourceCloser {
    void operator()(SourceHandle* source) const { closeSource(source); }
};

using ProcessSource = std::unique_ptr<SourceHandle, SourceCloser>;

// Opens the system's process table read-only.
ProcessSource openProcessSource();

// Every process of the table, each with the members of `needs`. Processes
// that end while the table is read are left out silently; a table without
// any process is a failure.
ProcessSnapshot readProcesses(SourceHandle& source, const RecordNeeds& needs);

// The argument vector of process `pid`, read as far as `extent` needs it
// and no further than an execve could have passed (`cut` says that the
// process's text went on), valid until the next call; no words when it has
// none (gone, hidden from this user, a kernel process or a zombie). Throws a
// Failure when it could not be read for want of a resource (descriptors,
// memory): what would be printed would not be the process's.
ArgumentVector readArguments(SourceHandle& source, pid_t pid, ArgumentExtent extent);
