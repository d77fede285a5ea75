// The child indexes of a node (and the roots of a run): ordered multi-maps
// from a key to nodes, kept as one sorted array of node pointers rather than
// a tree of heap nodes. The key is not stored: it is read from the node.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
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
    ChildIndex(ChildIndex&& other) noexcept
        : entries(std::move(other.entries)), count(other.count), room(other.room) {
        other.count = 0;
        other.room = 0;
    }
    ChildIndex& operator=(ChildIndex&& other) noexcept {
        entries = std::move(other.entries);
        count = other.count;
        room = other.room;
        other.count = 0;
        other.room = 0;
        return *this;
    }
    ChildIndex(const ChildIndex&) = delete;
    ChildIndex& operator=(const ChildIndex&) = delete;

    iterator begin() { return entries.get(); }
    iterator end() { return entries.get() + count; }
    const_iterator begin() const { return entries.get(); }
    const_iterator end() const { return entries.get() + count; }
    std::size_t size() const { return count; }
    bool empty() const { return count == 0; }

    // Makes room for `wanted` entries in all.
    void reserve(std::size_t wanted) {
        if (wanted > room) resize(wanted);
    }

    // Adds `node` after every other entry.
    void append(Node* node) {
        if (count == room) resize(room == 0 ? 4 : 2 * static_cast<std::size_t>(room));
        entries[count++] = node;
    }

    // Puts the entries in key order, equal keys in the order of their
    // adding, and gives back the room that growing left unused.
    void sort() {
        const auto byKey = [](const Node* a, const Node* b) {
            return KeyOf::key(*a) < KeyOf::key(*b);
        };
        if (!std::is_sorted(begin(), end(), byKey)) std::stable_sort(begin(), end(), byKey);
        if (room != count) resize(count);
    }

    // The first entry whose key is greater than `key`.
    template <typename Key>
    iterator upper_bound(const Key& key) {
        return std::upper_bound(begin(), end(), key, [](const Key& wanted, const Node* entry) {
            return wanted < KeyOf::key(*entry);
        });
    }

  private:
    // Moves the entries into an array of `size` entries (at least count).
    void resize(std::size_t size) {
        std::unique_ptr<Node*[]> moved;
        if (size != 0) moved = std::make_unique_for_overwrite<Node*[]>(size);
        std::copy(begin(), end(), moved.get());
        entries = std::move(moved);
        room = static_cast<std::uint32_t>(size);
    }

    // An array and two 32-bit counts rather than a vector's three pointers:
    // every node has two indexes, most of them empty.
    std::unique_ptr<Node*[]> entries;
    std::uint32_t count = 0;
    std::uint32_t room = 0;
};
