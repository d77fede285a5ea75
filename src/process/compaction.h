// Folding identical sibling subtrees into groups.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "process/labeller.h"
#include "process/process_node.h"
#include "process/root_choice.h"

// Compacts the subtrees of the entries of a name-keyed index (a node's
// childrenByName, or the roots) and answers whether the node that owns the
// index is compactable: every visible entry compactable and all carrying one
// label. Sets compactable, fold and highlight of the nodes
// below. The one-shot form of Compactor::compactTree.
bool compact(ChildrenByName& index, Labeller& labeller);

// Whether `a`'s subtree matches `b`'s: equal labels and the same presence
// of children at every level of both chains of first children. On a match,
// passes `b`'s highlights to `a`'s chain (passHighlight).
bool sameSubtree(ProcessNode& a, ProcessNode& b, Labeller& labeller);

// Highlights every node of `to`'s chain of first children whose
// counterpart, in the same position on `from`'s chain, is highlighted. The
// chains are taken to match; it stops at the end of either.
void passHighlight(ProcessNode& to, const ProcessNode& from);

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
    bool compactTree(ChildrenByName& index, Labeller& labeller);

  private:
    using Entry = ChildrenByName::iterator;

    // Folds the siblings of one index whose entries all have their
    // compactable computed; answers whether the owner is compactable.
    bool foldSiblings(ChildrenByName& index, Labeller& labeller);

    // Whether every visible sibling seen so far is compactable and all of
    // them carry one label; labels are compared only while that holds.
    struct OneLabel {
        void add(ProcessNode& child, Labeller& labeller);
        ProcessNode* previous = nullptr;  // the last sibling seen
        bool holds = true;
    };

    // The end of the run of entries with the name of `first`.
    static Entry endOfNameRun(Entry first, Entry end);

    // Folds the run [first, runEnd) of one name: pairwise when short, at
    // once when long. Answers the end of the entries folded at once: runEnd
    // then, `first` otherwise.
    Entry foldRun(Entry first, Entry runEnd, Labeller& labeller);

    // Folds the later entries of `child`'s run that match it, one by one.
    void foldPairwise(Entry child, Entry runEnd, Labeller& labeller);

    // Folds every class of matching subtrees among [first, runEnd) at once.
    void foldGrouped(Entry first, Entry runEnd, Labeller& labeller);

    // A number that two nodes share exactly when sameSubtree holds between
    // them: it stands for the labels and the presence of children along the
    // chain of first children.
    std::uint32_t chainId(ProcessNode& node, Labeller& labeller);

    // The id of a label above the chain numbered `below`, a new one if the
    // pair is new.
    std::uint32_t idOf(ProcessNode& node, std::uint32_t below, Labeller& labeller);

    // One numbered pair of the open-addressing table of chain ids: the
    // node whose label it stands for, the id of the chain below that label
    // and the pair's hash. An empty slot has id 0.
    struct ChainSlot {
        std::uint64_t hash = 0;
        ProcessNode* node = nullptr;
        std::uint32_t below = 0;
        std::uint32_t id = 0;
    };

    // Doubles the table of chain ids (or makes its first one).
    void growChainTable();

    std::size_t groupedRunLength;
    // A flat table rather than a map of heap nodes: at a million entries,
    // growing the table moves slots in one sweep instead of chasing a
    // list of scattered nodes.
    std::vector<ChainSlot> chainTable;
    std::uint32_t chainCount = 0;
    std::vector<ProcessNode*> chainScratch;  // reused by chainId
    // The head of each class of the run being folded, by chain id; empty
    // again between runs.
    std::vector<ProcessNode*> headOfChain;
};

// Folds the printed trees: in pid mode the selected node's subtree, whose
// compactable it sets; in the other modes the roots among themselves and
// every subtree below them.
void foldTrees(Roots& roots, Labeller& labeller, Compactor& compactor);
void foldTrees(Roots& roots, Labeller& labeller);
