#include "process/child_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace {

// A stand-in for a node: a key and a number that tells entries apart.
struct Entry {
    int key;
    int id;
};

struct EntryKey {
    using Node = Entry;
    static int key(const Entry& entry) { return entry.key; }
};

using Index = ChildIndex<EntryKey>;

std::vector<Entry*> entriesOf(const Index& index) { return {index.begin(), index.end()}; }

TEST(ChildIndexTest, GrowsPastItsRoomAndSortsStably) {
    // Appended without room, and beyond and within room placed in a block,
    // in descending keys with repeats: sorted by key, equal keys in the
    // order of adding.
    std::vector<Entry> entries;
    for (int i = 0; i < 1000; ++i) entries.push_back({99 - i % 100, i});
    for (std::size_t reserved : {std::size_t{0}, std::size_t{3}, std::size_t{1000}}) {
        std::vector<std::byte> block(Index::bytesFor(reserved));
        Index index;
        if (reserved != 0) index.placeIn(block.data(), reserved);
        std::vector<Entry*> want;
        for (Entry& entry : entries) {
            index.append(&entry);
            want.push_back(&entry);
        }
        EXPECT_EQ(index.size(), 1000u);
        index.sort();
        std::stable_sort(want.begin(), want.end(),
                         [](const Entry* a, const Entry* b) { return a->key < b->key; });
        EXPECT_EQ(entriesOf(index), want) << "reserved " << reserved;
    }
}

TEST(ChildIndexTest, MovingLeavesTheSourceEmpty) {
    std::vector<Entry> entries;
    for (int i = 0; i < 8; ++i) entries.push_back({i, i});
    Index index;
    for (int i = 0; i < 5; ++i) index.append(&entries[static_cast<std::size_t>(i)]);
    Index moved(std::move(index));
    EXPECT_EQ(moved.size(), 5u);
    EXPECT_TRUE(index.empty());  // NOLINT(bugprone-use-after-move): moved-from state is defined
    EXPECT_EQ(index.begin(), index.end());
    index.append(&entries[7]);  // usable again
    Index assigned;
    assigned.append(&entries[1]);
    assigned = std::move(moved);
    EXPECT_EQ(assigned.size(), 5u);
    EXPECT_EQ(*assigned.begin(), &entries[0]);
    EXPECT_TRUE(moved.empty());  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(entriesOf(index), (std::vector<Entry*>{&entries[7]}));
    Index empty;
    empty.sort();
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(empty.begin(), empty.end());
}

// Indexes placed in one shared block: each keeps to its own bytes, one that
// grows past them moves to a block of its own with its entries, and none
// gives the shared block back (a sanitizer build sees a wrong delete).
TEST(ChildIndexTest, PlacedIndexesKeepToTheirBytesOrMoveOut) {
    std::vector<Entry> entries;
    for (int i = 0; i < 10; ++i) entries.push_back({10 - i, i});
    const std::size_t rooms[] = {3, 2, 5};
    std::size_t bytes = 0;
    for (std::size_t room : rooms) bytes += Index::bytesFor(room);
    auto block = std::make_unique<std::byte[]>(bytes);
    {
        std::vector<Index> indexes(3);
        std::byte* next = block.get();
        for (std::size_t i = 0; i < 3; ++i) {
            indexes[i].placeIn(next, rooms[i]);
            next += Index::bytesFor(rooms[i]);
        }
        // The first two fill their room exactly; the third outgrows it.
        for (int i = 0; i < 3; ++i) indexes[0].append(&entries[i]);
        for (int i = 3; i < 5; ++i) indexes[1].append(&entries[i]);
        for (int i = 5; i < 10; ++i) indexes[2].append(&entries[i]);
        indexes[2].append(&entries[0]);
        for (Index& index : indexes) index.sort();
        EXPECT_EQ(entriesOf(indexes[0]),
                  (std::vector<Entry*>{&entries[2], &entries[1], &entries[0]}));
        EXPECT_EQ(entriesOf(indexes[1]), (std::vector<Entry*>{&entries[4], &entries[3]}));
        EXPECT_EQ(entriesOf(indexes[2]),
                  (std::vector<Entry*>{&entries[9], &entries[8], &entries[7], &entries[6],
                                       &entries[5], &entries[0]}));
    }
}

}  // namespace
