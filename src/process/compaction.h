// Folding identical sibling subtrees into groups.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "process/process_node.h"

// Compacts the subtrees of the entries of a name-keyed index (a node's
// childrenByName, or the roots) and answers whether the node that owns the
// index is compactable: every visible entry compactable and all carrying one
// label. Sets compactable, duplicates and highlight of the nodes below. The
// one-shot form of Compactor::compactTree.
bool compact(ChildrenByName& index);

// The compaction pass with its state. Siblings with one name are compared
// pairwise, as in sameSubtree; a long run of them would make that quadratic,
// so runs of at least `groupedRunLength` entries are instead sorted into
// classes of matching subtrees in one pass, with the same result. A run of
// one entry has nothing to fold, so lengths below 2 count as 2.
class Compactor {
  public:
    explicit Compactor(std::size_t runLength = 8)
        : groupedRunLength(runLength < 2 ? 2 : runLength) {}

    // Folds every index below the entries of `index` that is not folded yet,
    // each after all the indexes below it, then `index` itself; answers
    // whether the owner of `index` is compactable.
    bool compactTree(ChildrenByName& index);

  private:
    using Entry = ChildrenByName::iterator;

    // Folds the siblings of one index whose entries all have their
    // compactable computed; answers whether the owner is compactable.
    bool foldSiblings(ChildrenByName& index);

    // Folds the later entries of `child`'s run that match it, one by one.
    void foldPairwise(Entry child, Entry runEnd);

    // Folds every class of matching subtrees among [first, runEnd) at once.
    void foldGrouped(Entry first, Entry runEnd);

    // A number that two nodes share exactly when sameSubtree holds between
    // them: it stands for the labels and the presence of children along the
    // chain of first children.
    std::uint32_t chainId(ProcessNode& node);

    // A label and the id of the chain below it.
    struct ChainKey {
        std::string_view label;
        std::uint32_t below;
        bool operator==(const ChainKey&) const = default;
    };
    struct ChainKeyHash {
        std::size_t operator()(const ChainKey& key) const {
            return std::hash<std::string_view>()(key.label) * 31 + key.below;
        }
    };

    std::size_t groupedRunLength;
    std::unordered_map<ChainKey, std::uint32_t, ChainKeyHash> chainIds;
    std::vector<ProcessNode*> chainScratch;  // reused by chainId
};
