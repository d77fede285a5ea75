#include "process/compaction.h"

#include <vector>

bool compact(ChildrenByName& index) {
    Compactor compactor;
    return compactor.compactTree(index);
}

bool Compactor::compactTree(ChildrenByName& index) {
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
        if (node->compactable == -1) path.push_back({node, node->childrenByName.begin()});
    };
    for (auto& entry : index) {
        enter(entry.second);
        while (!path.empty()) {
            Pending& top = path.back();
            if (top.next != top.node->childrenByName.end()) {
                ProcessNode* child = (top.next++)->second;
                enter(child);
                continue;
            }
            top.node->compactable = foldSiblings(top.node->childrenByName) ? 1 : 0;
            path.pop_back();
        }
    }
    return foldSiblings(index);
}

bool Compactor::foldSiblings(ChildrenByName& index) {
    bool result = true;
    ProcessNode* previous = nullptr;
    Entry groupedUntil = index.end();  // end of a run already folded at once
    bool inGroupedRun = false;
    for (Entry entry = index.begin(); entry != index.end(); ++entry) {
        if (inGroupedRun && entry == groupedUntil) inGroupedRun = false;
        ProcessNode& child = *entry->second;
        // Skip entries folded into an earlier one. In a run folded at once,
        // the later heads already carry their counts but still take their
        // turn in the label comparison, as they do when compared pairwise.
        const bool folded = inGroupedRun ? child.duplicates == 1 : child.duplicates != 0;
        if (folded) continue;
        const bool compactable = child.compactable == 1;
        if (!compactable || !result) {
            result = false;
        } else if (previous == nullptr) {
            previous = &child;
        } else if (child.label() == previous->label()) {
            previous = &child;
        } else {
            result = false;
        }
        if (!compactable || inGroupedRun) continue;
        Entry runEnd = index.upper_bound(entry->first);
        std::size_t runLength = 0;
        for (Entry e = entry; e != runEnd && runLength < groupedRunLength; ++e) ++runLength;
        if (runLength == 1) continue;
        if (runLength < groupedRunLength) {
            foldPairwise(entry, runEnd);
        } else {
            foldGrouped(entry, runEnd);
            groupedUntil = runEnd;
            inGroupedRun = true;
        }
    }
    return result;
}

void Compactor::foldPairwise(Entry child, Entry runEnd) {
    ProcessNode& head = *child->second;
    std::uint64_t total = 1;
    for (Entry candidate = std::next(child); candidate != runEnd; ++candidate) {
        ProcessNode& other = *candidate->second;
        if (other.compactable == 1 && head.sameSubtree(other)) {
            total += other.duplicates + 1;
            other.duplicates += 1;
        }
    }
    if (total != 1) head.duplicates = total;
}

void Compactor::foldGrouped(Entry first, Entry runEnd) {
    // The head of each class is its earliest member; every member after it
    // matches it, so each is folded once and counted once.
    std::unordered_map<std::uint32_t, ProcessNode*> heads;
    for (Entry entry = first; entry != runEnd; ++entry) {
        ProcessNode& node = *entry->second;
        if (node.compactable != 1) continue;
        auto [head, added] = heads.try_emplace(chainId(node), &node);
        if (added) continue;
        ProcessNode& leader = *head->second;
        leader.duplicates = (leader.duplicates == 0 ? 1 : leader.duplicates) + 1;
        node.duplicates = 1;
        leader.passHighlightFrom(node);
    }
}

std::uint32_t Compactor::chainId(ProcessNode& node) {
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
        const ChainKey key{(*it)->label(), below};
        auto [id, added] =
            chainIds.try_emplace(key, static_cast<std::uint32_t>(chainIds.size() + 1));
        below = id->second;
        (*it)->chainId = below;
    }
    return below;
}
