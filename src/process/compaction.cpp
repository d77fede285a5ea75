#include "process/compaction.h"

#include <vector>

bool compact(ChildrenByName& index) {
    Compactor compactor;
    return compactor.compactTree(index);
}

bool Compactor::compactTree(ChildrenByName& index) {
    // Every node below `index` whose own index is not folded yet, each
    // before its descendants; folding them in the reverse order folds every
    // index after the indexes below it, without recursion.
    std::vector<ProcessNode*> pending;
    std::vector<ProcessNode*> toVisit;
    for (auto& entry : index)
        if (entry.second->compactable == -1) toVisit.push_back(entry.second);
    while (!toVisit.empty()) {
        ProcessNode* node = toVisit.back();
        toVisit.pop_back();
        pending.push_back(node);
        for (auto& entry : node->childrenByName)
            if (entry.second->compactable == -1) toVisit.push_back(entry.second);
    }
    for (auto node = pending.rbegin(); node != pending.rend(); ++node)
        (*node)->compactable = foldSiblings((*node)->childrenByName) ? 1 : 0;
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
