// Process records made directly, in shapes too large to spawn: deep chains,
// wide forests and nodes with very many children. No /proc is read; the
// records go straight into a ProcessTable.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string_view>
#include <vector>

#include "cli/option_flags.h"
#include "platform/kvm.h"
#include "platform/linux/name_store.h"
#include "process/process_table.h"

// The uid of the processes that the shapes give to a second user.
inline constexpr uid_t otherUid = 1;

// Records made directly, and the names they point at. Moving keeps every
// name where it is; a copy would not, so there is none.
struct SyntheticRecords {
    SyntheticRecords() = default;
    SyntheticRecords(SyntheticRecords&&) = default;
    SyntheticRecords& operator=(SyntheticRecords&&) = default;
    SyntheticRecords(const SyntheticRecords&) = delete;
    SyntheticRecords& operator=(const SyntheticRecords&) = delete;

    // Adds a record after the others.
    void add(pid_t pid, pid_t ppid, std::string_view name, uid_t uid = 0, int flag = 0);

    std::vector<kinfo_proc> records;
    NameStore names;
};

// init (pid 1) and below it a chain of `depth` processes named "c" (pids 2
// up to depth + 1, each the child of the one before). With `alternateUsers`
// every second process of the chain (pids 3, 5, ...) belongs to otherUid.
SyntheticRecords chainShape(std::size_t depth, bool alternateUsers = false);

// init (pid 1) and a chain of `depth` processes named "c" below it, each with
// one more child, a leaf named "leaf" that belongs to otherUid: every level
// but the last gets a line of its own, indented by its depth.
SyntheticRecords chainWithLeavesShape(std::size_t depth);

// `count` parentless processes named "r" (pids 2 up; their parent pid is
// not in the table).
SyntheticRecords forestShape(std::size_t count);

// init (pid 1) with `count` leaf children named "l", all alike.
SyntheticRecords wideAlikeShape(std::size_t count);

// init (pid 1) with `count` children named "s", each with one leaf child of a
// name of its own ("u1", "u2", ...): siblings of one name that never match.
SyntheticRecords wideDifferentShape(std::size_t count);

// The forest of a copy of `records` as a run with `flags` builds it, with
// `highlightPid` marked (with the highlight bit). The names the records
// point at must outlive the table.
ProcessTable tableOf(OptionFlags flags, const std::vector<kinfo_proc>& records,
                     pid_t highlightPid = 0);

// The same from a snapshot made beforehand (the bench times the table
// alone, as a run takes the snapshot from the handle without a copy).
ProcessTable tableOf(OptionFlags flags, Snapshot records, pid_t highlightPid);
