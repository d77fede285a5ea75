// The latest start time that a process of a snapshot can have.
#pragma once

#include <cstdint>

// The time since boot in clock ticks, the unit of the start times in
// /proc/PID/stat, on the boot clock of this process's time namespace: the
// one that the kernel shifts those start times by.
std::uint64_t ticksSinceBoot();

// No process started after the reader read its text: a start time beyond
// the boot clock is no start time. The kernel writes one for a process that
// started before the boot of the reader's time namespace (a negative boot
// time offset), as the offset's negative result taken unsigned: a number
// near 2^64 nanoseconds, which would make every real parent seem to have
// started after its children.
class StartTimeBound {
  public:
    using Clock = std::uint64_t (*)();

    // No bound: every start time is taken as it is.
    StartTimeBound() = default;
    // Bounded by `clock`, read at the first start time to check.
    explicit StartTimeBound(Clock boundClock) : clock(boundClock) {}

    // Whether `ticks`, read from a text before this call, can be a start
    // time. The clock is read again only for a time beyond its last
    // reading, so that processes that start while the table is read are
    // admitted and a reader asks the clock about once.
    bool admits(std::uint64_t ticks) {
        if (clock == nullptr || ticks <= latest) return true;
        latest = clock();
        return ticks <= latest;
    }

  private:
    Clock clock = nullptr;
    std::uint64_t latest = 0;
};
