// Putting entries keyed by pid in pid order in linear time.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <vector>

// A pid and the position of what it belongs to.
struct PidEntry {
    pid_t pid;
    std::uint32_t index;
};

// Puts `entries` in ascending pid order, equal pids in their present order.
// A radix sort: a few sequential passes whatever the number of entries,
// where a comparison sort would cost a factor that grows with it and jump
// around memory at every step. Entries already in order, as the kernel lists
// processes as a rule, cost one pass that checks it.
void sortByPid(std::vector<PidEntry>& entries);
