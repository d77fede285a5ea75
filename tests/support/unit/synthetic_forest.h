// Process records made directly, in shapes too large to spawn: deep chains,
// wide forests and nodes with very many children, made in memory.
#pragma once

#include <sys/types.h>

#include <cstddef>

#include "platform/memory_records.h"
#include "process/process_table.h"
#include "process/table_options.h"

// The uid of the processes that the shapes give to a second user.
inline constexpr uid_t otherUid = 1;

// init (pid 1) and below it a chain of `depth` processes named "c" (pids 2
// up to depth + 1, each the child of the one before). With `alternateUsers`
// every second process of the chain (pids 3, 5, ...) belongs to otherUid.
MemoryRecords chainShape(std::size_t depth, bool alternateUsers = false);

// init (pid 1) and a chain of `depth` processes named "c" below it, each with
// one more child, a leaf named "leaf" that belongs to otherUid: every level
// but the last gets a line of its own, indented by its depth.
MemoryRecords chainWithLeavesShape(std::size_t depth);

// `count` parentless processes named "r" (pids 2 up; their parent pid is
// not in the table).
MemoryRecords forestShape(std::size_t count);

// init (pid 1) with `count` leaf children named "l", all alike.
MemoryRecords wideAlikeShape(std::size_t count);

// init (pid 1) with `count` children named "s", each with one leaf child of a
// name of its own ("u1", "u2", ...): siblings of one name that never match.
MemoryRecords wideDifferentShape(std::size_t count);

// The table of a copy of `records` as a run with `options` makes it. The
// names the records point at must outlive the table.
ProcessTable tableOf(const MemoryRecords& records, const TableOptions& options = {});
