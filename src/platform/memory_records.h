// Process records made in memory, for the tests of the layers above this one:
// the system's own record type, filled by the system's directory
// (memory_records.cpp) with the marks its kernel sets, and the processes'
// argument vectors beside them. Built into the tests alone, never into the
// program.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/argument_source.h"
#include "platform/kvm.h"
#include "platform/kvm_fields.h"

// One process as a test describes it.
struct MemoryProcess {
    pid_t pid = 0;
    pid_t ppid = 0;
    std::string name{};  // the command name, raw
    uid_t uid = 0;
    std::vector<std::string> arguments{};  // empty: no argument vector
    bool argumentsCut = false;             // the vector is what a read gave of a longer one
    bool kernel = false;  // one of the kernel's own processes, marked as the system marks them
    // When it started, in the units of startTimeOf; 0: unknown.
    std::uint64_t start = 0;
};

// A user process `name` whose argument vector is its name alone, or the
// given one.
MemoryProcess process(pid_t pid, pid_t ppid, const std::string& name, uid_t uid = 0);
MemoryProcess process(pid_t pid, pid_t ppid, const std::string& name,
                      std::vector<std::string> arguments);

// Records in the order they were added, the names they point at (where the
// record points at its name) and the argument vectors. Moving keeps every
// name where it is; a copy would not, so there is none. A table made from
// a snapshot() of the records points at the names kept here: it must not
// outlive them, and no record may
// be added while it is used.
class MemoryRecords {
  public:
    MemoryRecords() = default;
    explicit MemoryRecords(const std::vector<MemoryProcess>& processes);
    MemoryRecords(MemoryRecords&&) = default;
    MemoryRecords& operator=(MemoryRecords&&) = default;
    MemoryRecords(const MemoryRecords&) = delete;
    MemoryRecords& operator=(const MemoryRecords&) = delete;

    // Adds a record after the others.
    void add(const MemoryProcess& process);
    // The same for a process without an argument vector, cheaply, for
    // shapes of many processes.
    void add(pid_t pid, pid_t ppid, std::string_view name, uid_t uid = 0);

    // Gives the process of `pid` another argument vector from now on, cut
    // or whole.
    void setArguments(pid_t pid, std::vector<std::string> arguments, bool cut = false);

    void reserve(std::size_t count) { kept.reserve(count); }
    std::span<const kinfo_proc> records() const { return kept; }
    // A copy of the records, as a snapshot gives them; where a record points
    // at its name, the name stays here: the records must outlive the copy.
    RecordSet snapshot() const {
        RecordSet set;
        set.records = kept;
        return set;
    }
    std::size_t size() const { return kept.size(); }

    // The argument vectors, as the labeller reads them.
    ArgumentSource arguments() const { return ArgumentSource(vectors); }

  private:
    std::vector<kinfo_proc> kept;
    std::deque<std::string> names;
    // Reading a vector changes nothing but where the last one is laid out.
    mutable ArgumentTable vectors;
};

// The record of `process`, with its name kept in `names` where the record
// points at it rather than holding it. Each system's directory fills it.
kinfo_proc memoryRecord(pid_t pid, pid_t ppid, std::string_view name, uid_t uid, bool kernel,
                        std::uint64_t start, std::deque<std::string>& names);
