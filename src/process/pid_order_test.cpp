#include "process/pid_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

namespace {

// What sortByPid must give: a stable comparison sort by pid.
std::vector<PidEntry> expectedOrder(std::vector<PidEntry> entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const PidEntry& a, const PidEntry& b) { return a.pid < b.pid; });
    return entries;
}

void expectSameOrder(const std::vector<PidEntry>& got, const std::vector<PidEntry>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].pid, want[i].pid) << "at " << i;
        EXPECT_EQ(got[i].index, want[i].index) << "at " << i;
    }
}

TEST(PidOrderTest, SortsLikeAStableComparisonSort) {
    std::mt19937 random(7);
    // Pids in a kernel's range, pids spread over every bit (negative ones
    // too), and many duplicates, whose order must be kept.
    const std::vector<std::uniform_int_distribution<pid_t>> ranges = {
        std::uniform_int_distribution<pid_t>(1, 4194304),
        std::uniform_int_distribution<pid_t>(INT_MIN, INT_MAX),
        std::uniform_int_distribution<pid_t>(0, 5),
        std::uniform_int_distribution<pid_t>(2040, 2060),
    };
    for (auto range : ranges) {
        for (std::size_t size : {0u, 1u, 2u, 100u, 5000u}) {
            std::vector<PidEntry> entries;
            for (std::uint32_t i = 0; i < size; ++i) entries.push_back({range(random), i});
            const std::vector<PidEntry> want = expectedOrder(entries);
            sortByPid(entries);
            expectSameOrder(entries, want);
        }
    }
}

TEST(PidOrderTest, EdgesOfTheRange) {
    std::vector<PidEntry> entries = {{INT_MAX, 0}, {0, 1}, {INT_MIN, 2}, {-1, 3},
                                     {1, 4},       {0, 5}, {INT_MAX, 6}, {2048, 7}};
    const std::vector<PidEntry> want = expectedOrder(entries);
    sortByPid(entries);
    expectSameOrder(entries, want);
}

}  // namespace
