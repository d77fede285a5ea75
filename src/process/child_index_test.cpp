#include "process/child_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Distinct stand-ins for nodes: the index only stores and compares them.
ProcessNode* node(std::size_t n) { return reinterpret_cast<ProcessNode*>(0x1000 + 16 * n); }

std::vector<std::pair<int, ProcessNode*>> entriesOf(const ChildIndex<int>& index) {
    return {index.begin(), index.end()};
}

TEST(ChildIndexTest, GrowsPastItsRoomAndSortsStably) {
    // Appended without and then beyond a reservation, in descending keys
    // with repeats: sorted by key, equal keys in the order of adding.
    for (std::size_t reserved : {std::size_t{0}, std::size_t{3}, std::size_t{1000}}) {
        ChildIndex<int> index;
        index.reserve(reserved);
        std::vector<std::pair<int, ProcessNode*>> want;
        for (std::size_t i = 0; i < 1000; ++i) {
            const int key = static_cast<int>(99 - i % 100);
            index.append(key, node(i));
            want.emplace_back(key, node(i));
        }
        EXPECT_EQ(index.size(), 1000u);
        index.sort();
        std::stable_sort(want.begin(), want.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        EXPECT_EQ(entriesOf(index), want) << "reserved " << reserved;
        EXPECT_EQ(index.upper_bound(41) - index.begin(), 420);
        EXPECT_EQ(index.upper_bound(99), index.end());
        EXPECT_EQ(index.upper_bound(-1), index.begin());
    }
}

TEST(ChildIndexTest, MovingLeavesTheSourceEmpty) {
    ChildIndex<int> index;
    for (int i = 0; i < 5; ++i) index.append(i, node(static_cast<std::size_t>(i)));
    ChildIndex<int> moved(std::move(index));
    EXPECT_EQ(moved.size(), 5u);
    EXPECT_TRUE(index.empty());  // NOLINT(bugprone-use-after-move): moved-from state is defined
    EXPECT_EQ(index.begin(), index.end());
    index.append(7, node(7));  // usable again
    ChildIndex<int> assigned;
    assigned.append(1, node(1));
    assigned = std::move(moved);
    EXPECT_EQ(assigned.size(), 5u);
    EXPECT_EQ(assigned.begin()->second, node(0));
    EXPECT_TRUE(moved.empty());  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(entriesOf(index), (std::vector<std::pair<int, ProcessNode*>>{{7, node(7)}}));
    ChildIndex<int> empty;
    empty.sort();
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(empty.upper_bound(3), empty.end());
}

}  // namespace
