// Process records made directly, in shapes too large to spawn: deep chains,
// wide forests and nodes with very many children. No /proc is read; the
// records go straight into a ProcessTable.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string_view>
#include <vector>

#include "common/option_flags.h"
#include "platform/kvm.h"
#include "process/process_table.h"

// The uid of the processes that the shapes give to a second user.
inline constexpr uid_t otherUid = 1;

// One record.
kinfo_proc syntheticRecord(pid_t pid, pid_t ppid, std::string_view name, uid_t uid = 0);

// init (pid 1) and below it a chain of `depth` processes named "c" (pids 2
// up to depth + 1, each the child of the one before). With `alternateUsers`
// every second process of the chain (pids 3, 5, ...) belongs to otherUid.
std::vector<kinfo_proc> chainShape(std::size_t depth, bool alternateUsers = false);

// init (pid 1) and a chain of `depth` processes named "c" below it, each with
// one more child, a leaf named "leaf" that belongs to otherUid: every level
// but the last gets a line of its own, indented by its depth.
std::vector<kinfo_proc> chainWithLeavesShape(std::size_t depth);

// `count` parentless processes named "r" (pids 2 up; their parent pid is
// not in the table).
std::vector<kinfo_proc> forestShape(std::size_t count);

// init (pid 1) with `count` leaf children named "l", all alike.
std::vector<kinfo_proc> wideAlikeShape(std::size_t count);

// init (pid 1) with `count` children named "s", each with one leaf child of a
// name of its own ("u1", "u2", ...): siblings of one name that never match.
std::vector<kinfo_proc> wideDifferentShape(std::size_t count);

// The table of `records`, linked and with `highlightPid` marked (with the
// highlight bit), as the snapshot step leaves it. `kvm` may be null when no
// argument vector is asked for.
ProcessTable tableOf(const OptionFlags& flags, kvm_t* kvm, const std::vector<kinfo_proc>& records,
                     pid_t highlightPid = 0);
