#include "platform/name_store.h"

#include <cstring>
#include <iterator>

const char* NameStore::keep(std::string_view name) {
    name = name.substr(0, blockSize - 1);
    if (blockSize - used < name.size() + 1) {
        blocks.push_back(std::make_unique_for_overwrite<char[]>(blockSize));
        used = 0;
    }
    char* copy = blocks.back().get() + used;
    std::memcpy(copy, name.data(), name.size());
    copy[name.size()] = '\0';
    used += name.size() + 1;
    return copy;
}

void NameStore::takeAll(NameStore& other) {
    // The other's last block, partly used, goes in front, so that this
    // store's own last block stays the one that keep() fills.
    blocks.insert(blocks.begin(), std::make_move_iterator(other.blocks.begin()),
                  std::make_move_iterator(other.blocks.end()));
    other.clear();
}

void NameStore::clear() {
    blocks.clear();
    used = blockSize;
}
