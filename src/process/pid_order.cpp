#include "process/pid_order.h"

#include <algorithm>
#include <cstddef>

namespace {

// The pid as an unsigned key in the same order (negative pids first).
std::uint32_t keyOf(pid_t pid) { return static_cast<std::uint32_t>(pid) ^ 0x80000000u; }

}  // namespace

void sortByPid(std::vector<PidEntry>& entries) {
    const auto byPid = [](const PidEntry& a, const PidEntry& b) { return a.pid < b.pid; };
    if (std::is_sorted(entries.begin(), entries.end(), byPid)) return;
    // Three passes of 11 bits each, least significant first; each is
    // stable, so entries end in key order with equal pids as they came. A
    // pass whose digit is the same for every entry (the high bits, for the
    // pids a kernel hands out) is skipped.
    constexpr unsigned bits = 11;
    constexpr std::size_t buckets = std::size_t{1} << bits;
    std::vector<PidEntry> scratch;
    // The counts are on the heap: at 16 KiB they would take most of a small
    // stack (RLIMIT_STACK may be as low as a few pages).
    std::vector<std::size_t> start(buckets);
    for (unsigned shift = 0; shift < 32; shift += bits) {
        std::fill(start.begin(), start.end(), 0);
        for (const PidEntry& entry : entries) ++start[(keyOf(entry.pid) >> shift) & (buckets - 1)];
        bool oneDigit = false;
        for (std::size_t count : start)
            if (count == entries.size()) oneDigit = true;
        if (oneDigit) continue;
        std::size_t offset = 0;
        for (std::size_t& slot : start) {
            const std::size_t count = slot;
            slot = offset;
            offset += count;
        }
        scratch.resize(entries.size());
        for (const PidEntry& entry : entries)
            scratch[start[(keyOf(entry.pid) >> shift) & (buckets - 1)]++] = entry;
        entries.swap(scratch);
    }
}
