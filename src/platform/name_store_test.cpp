#include "platform/name_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(NameStoreTest, KeptNamesStayInPlaceAcrossBlocksAndMoves) {
    // Enough names to fill several blocks, of lengths 0 to 64, in two stores
    // of which one takes the other's names.
    NameStore first;
    NameStore second;
    std::vector<std::string> expected;
    std::vector<const char*> kept;
    for (int i = 0; i < 3000; ++i) {
        std::string name(static_cast<std::size_t>(i % 65), static_cast<char>('a' + i % 26));
        name += std::to_string(i);
        kept.push_back((i % 3 == 0 ? second : first).keep(name));
        expected.push_back(name);
    }
    first.takeAll(second);
    kept.push_back(first.keep("after"));
    expected.push_back("after");
    kept.push_back(second.keep("again"));
    expected.push_back("again");
    for (std::size_t i = 0; i < kept.size(); ++i) EXPECT_STREQ(kept[i], expected[i].c_str()) << i;
}

TEST(NameStoreTest, KeepsEmptyAndEmbeddedNulNamesAndCutsOverlongOnes) {
    NameStore store;
    EXPECT_STREQ(store.keep(""), "");
    EXPECT_STREQ(store.keep(std::string_view("a\0b", 3)), "a");  // the NUL ends it, as in C
    const std::string overlong(NameStore::blockSize + 10, 'x');
    EXPECT_EQ(std::string(store.keep(overlong)), overlong.substr(0, NameStore::blockSize - 1));
}

}  // namespace
