#include "process/process_table.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <utility>

#include "process/labeller.h"
#include "process/pid_order.h"

namespace {

// Without --show-kernel the kernel's own processes are hidden, and nothing
// else. FreeBSD and Linux agree on which those are: what the kernel marks as
// its own (the record's kernel mark: FreeBSD's kernel processes, Linux's kernel
// threads). On FreeBSD these are also the processes with parent pid 0 other
// than init; on Linux a user process can have parent pid 0 (one entered into
// a pid namespace from outside), and it is kept, to be printed as a root with
// its subtree.
bool isRetained(const ProcessRecord& record, const TableOptions& options) {
    return options.showKernel || !record.kernel;
}

// Whether `parent` started after `child`, both start times being known: then
// it holds a pid that was given again after the child's real parent ended,
// and is not the child's parent. Equal times say nothing: the clock is
// coarser than the time between a fork and the child's start.
bool startedAfter(const ProcessRecord& parent, const ProcessRecord& child) {
    return parent.start > child.start && child.start != 0;
}

// The topmost ancestor of each node, found with path halving, so that a
// would-be cycle is seen without walking whole chains of parents.
class TopFinder {
  public:
    explicit TopFinder(std::size_t size) : up(size) { std::iota(up.begin(), up.end(), 0u); }
    std::uint32_t top(std::uint32_t node) {
        while (up[node] != node) {
            up[node] = up[up[node]];
            node = up[node];
        }
        return node;
    }
    void attach(std::uint32_t child, std::uint32_t parent) { up[child] = top(parent); }

  private:
    std::vector<std::uint32_t> up;
};

}  // namespace

ProcessTable::ProcessTable(ProcessSnapshot taken, const TableOptions& tableOptions)
    : options(tableOptions), records(std::move(taken)) {
    const std::vector<ProcessRecord>& all = records.records;
    std::vector<PidEntry> retained;
    retained.reserve(all.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        if (isRetained(all[i], options))
            retained.push_back({all[i].pid, static_cast<std::uint32_t>(i)});
    sortByPid(retained);
    // The pids and parent pids that linking walks are taken now, while each
    // record is at hand, into arrays of their own: linking then streams
    // through a few bytes per process instead of through every node and
    // its record.
    nodes.reserve(retained.size());
    pids.reserve(retained.size());
    byParent.reserve(retained.size());
    std::uint64_t anyStart = 0;
    for (const PidEntry& entry : retained) {
        const ProcessRecord& record = all[entry.index];
        byParent.push_back({record.ppid, static_cast<std::uint32_t>(nodes.size())});
        pids.push_back(record.pid);
        nodes.emplace_back(record);
        anyStart |= record.start;
    }
    startsKnown = anyStart != 0;
}

ProcessNode* ProcessTable::find(pid_t pid) {
    auto found = std::lower_bound(pids.begin(), pids.end(), pid);
    return found != pids.end() && *found == pid ? &nodes[found - pids.begin()] : nullptr;
}

std::vector<std::uint32_t> ProcessTable::parentsByPid() {
    // The node of each parent pid, found by walking the pids and the
    // children sorted by parent pid side by side rather than by a search
    // per child: sequential passes over memory.
    std::vector<std::uint32_t> parentOf(nodes.size(), noParent);
    std::vector<PidEntry> children = std::move(byParent);
    sortByPid(children);
    std::size_t candidate = 0;
    for (const PidEntry& entry : children) {
        while (candidate < pids.size() && pids[candidate] < entry.pid) ++candidate;
        if (candidate < pids.size() && pids[candidate] == entry.pid)
            parentOf[entry.index] = static_cast<std::uint32_t>(candidate);
    }
    return parentOf;
}

std::vector<std::uint32_t> ProcessTable::keepTrueParents(std::vector<std::uint32_t>& parentOf) {
    std::vector<std::uint32_t> childCount(nodes.size(), 0);
    TopFinder tops(nodes.size());
    for (std::uint32_t child = 0; child < nodes.size(); ++child) {
        const std::uint32_t parent = std::exchange(parentOf[child], noParent);
        if (parent == noParent || parent == child) continue;
        if (startsKnown && startedAfter(nodes[parent].record, nodes[child].record))
            continue;  // the parent's pid was given again after the child's parent ended
        if (tops.top(parent) == child) continue;  // the child is the parent's ancestor
        parentOf[child] = parent;
        ++childCount[parent];
        tops.attach(child, parent);
    }
    return childCount;
}

void ProcessTable::link() {
    // First the parent of every node and the number of children of each, so
    // that every index is made at its final size; then the links.
    std::vector<std::uint32_t> parentOf = parentsByPid();
    const std::vector<std::uint32_t> childCount = keepTrueParents(parentOf);
    placeIndexes(childCount);
    for (std::size_t i = 0; i < nodes.size(); ++i)
        if (parentOf[i] != noParent) adopt(nodes[parentOf[i]], nodes[i]);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (childCount[i] == 0) continue;
        nodes[i].childrenByPid.sort();
        nodes[i].childrenByName.sort();
    }
}

void ProcessTable::placeIndexes(const std::vector<std::uint32_t>& childCount) {
    const bool byPid = options.childOrder == ChildOrder::ByPid;
    std::size_t bytes = 0;
    for (std::uint32_t count : childCount) {
        if (count == 0) continue;
        bytes += ChildrenByName::bytesFor(count);
        if (byPid) bytes += ChildrenByPid::bytesFor(count);
    }
    indexBlock = std::make_unique_for_overwrite<std::byte[]>(bytes);
    std::byte* next = indexBlock.get();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (childCount[i] == 0) continue;
        nodes[i].childrenByName.placeIn(next, childCount[i]);
        next += ChildrenByName::bytesFor(childCount[i]);
        if (!byPid) continue;
        nodes[i].childrenByPid.placeIn(next, childCount[i]);
        next += ChildrenByPid::bytesFor(childCount[i]);
    }
}

void ProcessTable::adopt(ProcessNode& parent, ProcessNode& child) {
    child.parent = &parent;
    if (options.childOrder == ChildOrder::ByPid) parent.childrenByPid.append(&child);
    Labeller::name(child);  // the key by name
    parent.childrenByName.append(&child);
}

void ProcessTable::markHighlight(pid_t pid) {
    for (ProcessNode* node = find(pid); node != nullptr; node = node->parent)
        node->highlight = true;
}

ProcessTable makeTable(const SnapshotReader& read, const TableOptions& options) {
    ProcessTable table(read({.realUid = options.realUid}), options);
    table.link();
    if (options.highlightPid) table.markHighlight(*options.highlightPid);
    return table;
}
