// The child indexes of a node (and the roots of a run): ordered multi-maps
// from a key to nodes, kept as one sorted array rather than a tree of heap
// nodes.
#pragma once

#include <algorithm>
#include <utility>
#include <vector>

class ProcessNode;

// Entries with equal keys stand in the order they were added. Entries are
// added at the end, as linking finds them (in pid order), and put in key
// order once, by sort(), before the index is read; a lookup or a walk in
// key order before that sees them in the order they were added.
template <typename Key>
class ChildIndex {
  public:
    using value_type = std::pair<Key, ProcessNode*>;
    using iterator = typename std::vector<value_type>::iterator;
    using const_iterator = typename std::vector<value_type>::const_iterator;

    iterator begin() { return entries.begin(); }
    iterator end() { return entries.end(); }
    const_iterator begin() const { return entries.begin(); }
    const_iterator end() const { return entries.end(); }
    std::size_t size() const { return entries.size(); }
    bool empty() const { return entries.empty(); }

    // Makes room for `count` entries in all.
    void reserve(std::size_t count) { entries.reserve(count); }

    // Adds an entry after every other.
    void append(Key key, ProcessNode* node) { entries.emplace_back(std::move(key), node); }

    // Puts the entries in key order, equal keys in the order of their
    // adding, and gives back the room that growing left unused.
    void sort() {
        const auto byKey = [](const value_type& a, const value_type& b) {
            return a.first < b.first;
        };
        if (!std::is_sorted(entries.begin(), entries.end(), byKey))
            std::stable_sort(entries.begin(), entries.end(), byKey);
        if (entries.capacity() != entries.size()) entries.shrink_to_fit();
    }

    // The first entry whose key is greater than `key`.
    iterator upper_bound(const Key& key) {
        return std::upper_bound(
            entries.begin(), entries.end(), key,
            [](const Key& wanted, const value_type& entry) { return wanted < entry.first; });
    }

  private:
    std::vector<value_type> entries;
};
