// The state that compaction leaves in a node: whether its subtree can fold,
// and its part among identical siblings.
#pragma once

#include <cstdint>

// Whether a node's subtree is compactable: every visible child compactable
// and all of them carrying one label. Computed once, when first needed.
enum class Compactable : std::uint8_t { unknown, no, yes };

// A node's part among the siblings of one index after folding.
enum class Fold : std::uint8_t {
    alone,   // printed as it is
    hidden,  // folded into an earlier sibling: neither it nor its subtree is printed
    head,    // printed once for a group of identical siblings, itself included
};
