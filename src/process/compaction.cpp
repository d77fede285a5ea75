#include "process/compaction.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <vector>

namespace {

Compactable compactableIf(bool yes) { return yes ? Compactable::yes : Compactable::no; }

}  // namespace

bool compact(ChildrenByName& index, Labeller& labeller) {
    Compactor compactor;
    return compactor.compactTree(index, labeller);
}

void foldTrees(Roots& roots, Labeller& labeller, Compactor& compactor) {
    if (roots.selected != nullptr) {
        ProcessNode& top = *roots.selected;
        if (top.compactable == Compactable::unknown)
            top.compactable = compactableIf(compactor.compactTree(top.childrenByName, labeller));
        return;
    }
    compactor.compactTree(roots.byName, labeller);
}

void foldTrees(Roots& roots, Labeller& labeller) {
    Compactor compactor;
    foldTrees(roots, labeller, compactor);
}

bool sameSubtree(ProcessNode& a, ProcessNode& b, Labeller& labeller) {
    // Walks both chains of first children; highlights pass only once the
    // whole comparison has succeeded.
    ProcessNode* left = &a;
    ProcessNode* right = &b;
    for (;;) {
        if (labeller.label(*left) != labeller.label(*right)) return false;
        if (left->childrenByName.empty() != right->childrenByName.empty()) return false;
        if (left->childrenByName.empty()) break;
        left = left->firstChild();
        right = right->firstChild();
    }
    passHighlight(a, b);
    return true;
}

void passHighlight(ProcessNode& to, const ProcessNode& from) {
    ProcessNode* target = &to;
    for (const ProcessNode* source = &from; target != nullptr && source != nullptr;) {
        if (source->highlight) target->highlight = true;
        target = target->firstChild();
        source = source->firstChild();
    }
}

bool Compactor::compactTree(ChildrenByName& index, Labeller& labeller) {
    // Folds every index below `index` after all the indexes below it: a walk
    // down the tree that folds a node's index on its way back up, once all
    // its children are done. The path is kept on a stack of its own, not
    // the call stack. Nodes already folded are not entered again.
    struct Pending {
        ProcessNode* node;
        ChildrenByName::iterator next;  // the next child to look at
    };
    std::vector<Pending> path;
    const auto enter = [&path](ProcessNode* node) {
        if (node->compactable == Compactable::unknown)
            path.push_back({node, node->childrenByName.begin()});
    };
    for (auto& entry : index) {
        enter(entry);
        while (!path.empty()) {
            Pending& top = path.back();
            if (top.next != top.node->childrenByName.end()) {
                ProcessNode* child = *top.next++;
                enter(child);
                continue;
            }
            top.node->compactable = compactableIf(foldSiblings(top.node->childrenByName, labeller));
            path.pop_back();
        }
    }
    return foldSiblings(index, labeller);
}

bool Compactor::foldSiblings(ChildrenByName& index, Labeller& labeller) {
    OneLabel oneLabel;
    Entry groupedUntil = index.begin();  // the end of a run already folded at once
    for (Entry entry = index.begin(); entry != index.end(); ++entry) {
        const bool inGroupedRun = entry < groupedUntil;
        ProcessNode& child = **entry;
        // Skip entries folded into an earlier one. In a run folded at once,
        // the later heads already carry their counts but still take their
        // turn in the label comparison, as they do when compared pairwise.
        const Fold part = child.fold.part();
        if (inGroupedRun ? part == Fold::hidden : part != Fold::alone) continue;
        oneLabel.add(child, labeller);
        if (child.compactable != Compactable::yes || inGroupedRun) continue;
        groupedUntil = foldRun(entry, endOfNameRun(entry, index.end()), labeller);
    }
    return oneLabel.holds;
}

void Compactor::OneLabel::add(ProcessNode& child, Labeller& labeller) {
    if (!holds) return;
    if (child.compactable != Compactable::yes) {
        holds = false;
    } else if (previous == nullptr || labeller.label(child) == labeller.label(*previous)) {
        previous = &child;
    } else {
        holds = false;
    }
}

Compactor::Entry Compactor::endOfNameRun(Entry first, Entry end) {
    // A walk as long as the run, where a search of the whole index from
    // every entry would cost a factor that grows with the index.
    Entry runEnd = std::next(first);
    while (runEnd != end && NameKey::key(**runEnd) == NameKey::key(**first)) ++runEnd;
    return runEnd;
}

Compactor::Entry Compactor::foldRun(Entry first, Entry runEnd, Labeller& labeller) {
    const auto runLength = static_cast<std::size_t>(runEnd - first);
    if (runLength == 1) return first;
    if (runLength < groupedRunLength) {
        foldPairwise(first, runEnd, labeller);
        return first;
    }
    foldGrouped(first, runEnd, labeller);
    return runEnd;
}

void Compactor::foldPairwise(Entry child, Entry runEnd, Labeller& labeller) {
    // A candidate that matches is examined before its own turn, so it has
    // never been folded before and heads no group: it joins this one.
    ProcessNode& head = **child;
    for (Entry candidate = std::next(child); candidate != runEnd; ++candidate) {
        ProcessNode& other = **candidate;
        if (other.compactable == Compactable::yes && sameSubtree(head, other, labeller)) {
            other.fold.hide();
            head.fold.addMember();
        }
    }
}

void Compactor::foldGrouped(Entry first, Entry runEnd, Labeller& labeller) {
    // The head of each class is its earliest member; every member after it
    // matches it, so each is folded once and counted once.
    for (Entry entry = first; entry != runEnd; ++entry) {
        ProcessNode& node = **entry;
        if (node.compactable != Compactable::yes) continue;
        const std::uint32_t id = chainId(node, labeller);
        if (id >= headOfChain.size())
            headOfChain.resize(std::max<std::size_t>(id + 1, 2 * headOfChain.size()));
        ProcessNode*& head = headOfChain[id];
        if (head == nullptr) {
            head = &node;
            continue;
        }
        ProcessNode& leader = *head;
        leader.fold.addMember();
        node.fold.hide();
        passHighlight(leader, node);
    }
    for (Entry entry = first; entry != runEnd; ++entry)
        if ((*entry)->compactable == Compactable::yes) headOfChain[(*entry)->chainId] = nullptr;
}

std::uint32_t Compactor::chainId(ProcessNode& node, Labeller& labeller) {
    // Collects the chain down to the first node whose id is known (or past
    // the leaf), then numbers it from the bottom up.
    std::vector<ProcessNode*>& chain = chainScratch;
    chain.clear();
    std::uint32_t below = 0;
    for (ProcessNode* walk = &node; walk != nullptr;) {
        if (walk->chainId != 0) {
            below = walk->chainId;
            break;
        }
        chain.push_back(walk);
        walk = walk->firstChild();
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        below = idOf(**it, below, labeller);
        (*it)->chainId = below;
    }
    return below;
}

std::uint32_t Compactor::idOf(ProcessNode& node, std::uint32_t below, Labeller& labeller) {
    const std::string_view label = labeller.label(node);
    std::uint64_t hash = std::hash<std::string_view>()(label) ^ (below * 0x9e3779b97f4a7c15ULL);
    hash ^= hash >> 32;
    hash *= 0xd6e8feb86659fd93ULL;
    hash ^= hash >> 32;
    // At most seven slots in ten in use, so that probing stays short.
    if (10 * (static_cast<std::size_t>(chainCount) + 1) > 7 * chainTable.size()) growChainTable();
    const std::size_t mask = chainTable.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        ChainSlot& slot = chainTable[i];
        if (slot.id == 0) {
            slot = {hash, &node, below, ++chainCount};
            return slot.id;
        }
        if (slot.hash == hash && slot.below == below && labeller.label(*slot.node) == label)
            return slot.id;
    }
}

void Compactor::growChainTable() {
    std::vector<ChainSlot> old(chainTable.empty() ? 1024 : 2 * chainTable.size());
    old.swap(chainTable);
    const std::size_t mask = chainTable.size() - 1;
    for (const ChainSlot& slot : old) {
        if (slot.id == 0) continue;
        std::size_t i = slot.hash & mask;
        while (chainTable[i].id != 0) i = (i + 1) & mask;
        chainTable[i] = slot;
    }
}
