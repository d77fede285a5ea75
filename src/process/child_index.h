// The child indexes of a node (and the roots of a run): ordered multi-maps
// from a key to nodes, kept as one sorted array of node pointers rather than
// a tree of heap nodes. The key is not stored: it is read from the node.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

// Entries with equal keys stand in the order they were added. Entries are
// added at the end, as linking finds them (in pid order), and put in key
// order once, by sort(), before the index is read; a lookup or a walk in
// key order before that sees them in the order they were added.
//
// KeyOf names the type of the nodes (KeyOf::Node) and gives a node's key
// (static KeyOf::key(const Node&)); a node's key must not change while it
// is in an index.
template <typename KeyOf>
class ChildIndex {
  public:
    using Node = typename KeyOf::Node;
    using value_type = Node*;
    using iterator = Node**;
    using const_iterator = Node* const*;

    ChildIndex() = default;
    ChildIndex(ChildIndex&& other) noexcept : entries(std::exchange(other.entries, nullptr)) {}
    ChildIndex& operator=(ChildIndex&& other) noexcept {
        if (this != &other) {
            release();
            entries = std::exchange(other.entries, nullptr);
        }
        return *this;
    }
    ChildIndex(const ChildIndex&) = delete;
    ChildIndex& operator=(const ChildIndex&) = delete;
    ~ChildIndex() { release(); }

    iterator begin() { return entries; }
    iterator end() { return entries + size(); }
    const_iterator begin() const { return entries; }
    const_iterator end() const { return entries + size(); }
    std::size_t size() const { return entries == nullptr ? 0 : counts()->count; }
    bool empty() const { return size() == 0; }

    // The bytes that an index of `entries` entries takes in a shared block.
    static constexpr std::size_t bytesFor(std::size_t entries) {
        return sizeof(Counts) + entries * sizeof(Node*);
    }

    // Puts the empty index in bytesFor(`room`) bytes at `memory`, part of a
    // block that its owner keeps longer than the index: the index never
    // gives them back, and moves to a block of its own only if it grows
    // past them. Many indexes of known sizes then cost one allocation.
    void placeIn(void* memory, std::size_t room) {
        release();
        auto* counts = ::new (memory) Counts{0, static_cast<std::uint32_t>(room), Storage::shared};
        entries = reinterpret_cast<Node**>(counts + 1);
    }

    // Adds `node` after every other entry.
    void append(Node* node) {
        const std::size_t used = size();
        if (used == room()) resize(used == 0 ? 4 : 2 * used);
        entries[used] = node;
        counts()->count = static_cast<std::uint32_t>(used + 1);
    }

    // Puts the entries in key order, equal keys in the order of their
    // adding, and gives back the room that growing left unused.
    void sort() {
        const auto byKey = [](const Node* a, const Node* b) {
            return KeyOf::key(*a) < KeyOf::key(*b);
        };
        if (!std::is_sorted(begin(), end(), byKey)) std::stable_sort(begin(), end(), byKey);
        if (room() != size()) resize(size());
    }

  private:
    // The counts, and whose block it is, stand in front of the entries, in
    // the same block: an index is one pointer, and an index that never had
    // an entry (most do not) costs nothing more.
    enum class Storage : std::uint8_t {
        own,     // a block of the index's own
        shared,  // part of a block that the index's owner keeps (placeIn)
    };
    struct alignas(Node*) Counts {
        std::uint32_t count;
        std::uint32_t room;
        Storage storage;
    };
    static_assert(sizeof(Counts) % alignof(Node*) == 0);

    Counts* counts() const { return reinterpret_cast<Counts*>(entries) - 1; }
    std::size_t room() const { return entries == nullptr ? 0 : counts()->room; }

    // Moves the entries into a block of room for `wanted` entries (at least
    // size()); no block at all for none.
    void resize(std::size_t wanted) {
        const std::size_t used = size();
        Node** moved = nullptr;
        if (wanted != 0) {
            void* block = ::operator new(sizeof(Counts) + wanted * sizeof(Node*));
            auto* fresh = ::new (block) Counts{static_cast<std::uint32_t>(used),
                                               static_cast<std::uint32_t>(wanted), Storage::own};
            moved = reinterpret_cast<Node**>(fresh + 1);
            std::copy(begin(), end(), moved);
        }
        release();
        entries = moved;
    }

    void release() {
        if (entries != nullptr && counts()->storage == Storage::own) ::operator delete(counts());
        entries = nullptr;
    }

    Node** entries = nullptr;
};
