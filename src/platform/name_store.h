// The command names of a snapshot, kept apart from the records that point at
// them.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

// Names are copied, NUL-terminated, one after the other into blocks of a
// fixed size; a name never moves once kept, so a record may point at it for
// as long as the store keeps it.
class NameStore {
  public:
    // Copies `name` (at most blockSize - 1 bytes) and its NUL; the copy stays
    // where it is until clear().
    const char* keep(std::string_view name);

    // Moves every name of `other` into this store, at the same addresses.
    void takeAll(NameStore& other);

    // Gives back every name.
    void clear();

    // Large enough that the blocks cost little next to the names, small
    // enough that a store with few names does not take much.
    static constexpr std::size_t blockSize = 16 * 1024;

  private:
    std::vector<std::unique_ptr<char[]>> blocks;
    std::size_t used = blockSize;  // of the last block
};
