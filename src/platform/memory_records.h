// Processes described in memory, for the tests and the bench: the one
// description of a process that tests give (MemoryProcess), the records made
// from such descriptions and their argument vectors. Built into the tests
// and the bench alone, never into the program.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/argument_source.h"
#include "platform/process_source.h"

// One process as a test describes it.
struct MemoryProcess {
    pid_t pid = 0;
    pid_t ppid = 0;
    std::string name{};  // the command name, raw
    uid_t uid = 0;
    std::vector<std::string> arguments{};  // empty: no argument vector
    bool argumentsCut = false;             // the vector is what a read gave of a longer one
    bool kernel = false;                   // one of the kernel's own processes
    // When it started, in the units of ProcessRecord::start; 0: unknown.
    std::uint64_t start = 0;
    // Linux's /proc texts only: whether status carries the "Kthread:" line
    // of current kernels; without it, only the flags of stat tell a kernel
    // thread.
    bool kthreadLine = true;
};

// A user process `name` whose argument vector is its name alone, or the
// given one.
MemoryProcess process(pid_t pid, pid_t ppid, const std::string& name, uid_t uid = 0);
MemoryProcess process(pid_t pid, pid_t ppid, const std::string& name,
                      std::vector<std::string> arguments);

// Argument vectors by pid, made in memory.
class ArgumentTable {
  public:
    // Gives the process of `pid` the vector `arguments`; an empty one means
    // that it has none (gone, hidden, or a kernel process or zombie). A
    // `cut` vector stands for the part of a longer one that a read gave.
    void set(pid_t pid, std::vector<std::string> arguments, bool cut = false);

    // The vector of `pid`, ended by a null pointer, as the system's source
    // gives it; no words when it has none. It is a copy that stays valid
    // until the next call, also when `set` changes the vector of the process
    // in between, as a process may rewrite its command line.
    ArgumentVector vectorOf(pid_t pid);

  private:
    struct Entry {
        std::vector<std::string> arguments;
        bool cut = false;
    };
    std::unordered_map<pid_t, Entry> vectors;
    std::vector<std::string> lastArguments;
    std::vector<char*> lastVector;
};

// Records in the order they were added, the names they point at and the
// argument vectors. Moving keeps every name where it is; a copy would not,
// so there is none. A table made from a snapshot() of the records points at
// the names kept here: it must not outlive them, and no record may be added
// while it is used.
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
    std::span<const ProcessRecord> records() const { return kept; }
    // A copy of the records, as a read of the system's table gives them;
    // the names stay here: the records must outlive the copy.
    ProcessSnapshot snapshot() const {
        ProcessSnapshot taken;
        taken.records = kept;
        return taken;
    }
    // Reads snapshot() for makeTable, as long as these records stay where
    // they are.
    SnapshotReader reader() const {
        return [this](const RecordNeeds&) { return snapshot(); };
    }
    std::size_t size() const { return kept.size(); }

    // The argument vectors, as the labeller reads them, as long as these
    // records stay where they are.
    ArgumentSource arguments() const {
        return ArgumentSource([this](pid_t pid, ArgumentExtent) { return vectors.vectorOf(pid); });
    }

  private:
    std::vector<ProcessRecord> kept;
    NameStore names;
    // Reading a vector changes nothing but where the last one is laid out.
    mutable ArgumentTable vectors;
};
