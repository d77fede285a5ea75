// What the process table of a run holds, as the command line chooses it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>

// Which children come first under a node (and which roots first): the
// table indexes the children for that order, and the printer walks the
// index the table has.
enum class ChildOrder : std::uint8_t { ByName, ByPid };

struct TableOptions {
    bool showKernel = false;  // keep the processes that the kernel marks as its own
    // By name, every node's children are indexed by name alone; by pid,
    // by pid too.
    ChildOrder childOrder = ChildOrder::ByName;
    bool realUid = false;  // read every process's real uid (user decorations, user mode)
    std::optional<pid_t> highlightPid = std::nullopt;  // shown in bold with its ancestors
};
