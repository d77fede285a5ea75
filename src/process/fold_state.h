// The state that compaction leaves in a node: whether its subtree can fold,
// and its part among identical siblings.
#pragma once

#include <cstdint>
#include <optional>

// Whether a node's subtree is compactable: every visible child compactable
// and all of them carrying one label. Computed once, when first needed.
enum class Compactable : std::uint8_t { unknown, no, yes };

// A node's part among the siblings of one index after folding.
enum class Fold : std::uint8_t {
    alone,   // printed as it is
    hidden,  // folded into an earlier sibling: neither it nor its subtree is printed
    head,    // printed once for a group of identical siblings, itself included
};

// A node's part with the size of the group it heads, kept together so that
// the one cannot say other than the other: only a head has a group, of 2 or
// more siblings.
class FoldState {
  public:
    Fold part() const { return current; }

    // With Fold::head, the siblings of the group, the head included (2 or
    // more); none otherwise.
    std::optional<std::uint32_t> group() const {
        return current == Fold::head ? std::optional<std::uint32_t>(members) : std::nullopt;
    }

    // Folds the node into an earlier sibling.
    void hide() {
        current = Fold::hidden;
        members = 1;
    }

    // Makes the node the head of a group one larger than it heads now (of
    // two when it headed none).
    void addMember() {
        members = current == Fold::head ? members + 1 : 2;
        current = Fold::head;
    }

  private:
    Fold current = Fold::alone;
    std::uint32_t members = 1;
};
