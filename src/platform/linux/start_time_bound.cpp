#include "platform/linux/start_time_bound.h"

#include <unistd.h>

#include <cstdint>
#include <ctime>

std::uint64_t ticksSinceBoot() {
    timespec now{};
    const long hertz = sysconf(_SC_CLK_TCK);
    // Without a clock, no bound: the start times are taken as they are.
    if (clock_gettime(CLOCK_BOOTTIME, &now) != 0 || hertz <= 0) return UINT64_MAX;
    // As the kernel converts: nanoseconds divided by those of one tick.
    const std::uint64_t nanoseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000000000u +
                                      static_cast<std::uint64_t>(now.tv_nsec);
    return nanoseconds / (1000000000u / static_cast<std::uint64_t>(hertz));
}
