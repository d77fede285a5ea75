#include "process/process_table.h"

#include <err.h>

#include <algorithm>
#include <cstdint>
#include <numeric>

#include "platform/kvm_fields.h"
#include "platform/system_process.h"

namespace {

// Without --show-kernel the kernel's own processes are hidden, and nothing
// else. FreeBSD and Linux agree on which those are: what the kernel marks as
// its own (P_SYSTEM; on Linux the kernel threads). On FreeBSD these are also
// the processes with parent pid 0 other than init; on Linux a user process can
// have parent pid 0 (one entered into a pid namespace from outside), and it is
// kept, to be printed as a root with its subtree.
bool isRetained(const kinfo_proc& record, OptionFlags flags) {
    return (flags & Flag::showKernel) != 0 || !isSystemProcess(record);
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

ProcessTable::ProcessTable(const OptionFlags& flags, kvm_t* kvm, const kinfo_proc* records,
                           int count) {
    std::vector<const kinfo_proc*> retained;
    retained.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        if (isRetained(records[i], flags)) retained.push_back(&records[i]);
    // The kernel lists processes in ascending pid order as a rule: then a
    // check that costs one pass replaces the sort.
    const auto byPid = [](const kinfo_proc* a, const kinfo_proc* b) {
        return a->ki_pid < b->ki_pid;
    };
    if (!std::is_sorted(retained.begin(), retained.end(), byPid))
        std::stable_sort(retained.begin(), retained.end(), byPid);
    nodes.reserve(retained.size());
    for (const kinfo_proc* record : retained) nodes.emplace_back(flags, kvm, *record);
}

ProcessNode* ProcessTable::find(pid_t pid) {
    auto found = std::lower_bound(
        nodes.begin(), nodes.end(), pid,
        [](const ProcessNode& node, pid_t wanted) { return node.kinfo.ki_pid < wanted; });
    return found != nodes.end() && found->kinfo.ki_pid == pid ? &*found : nullptr;
}

void ProcessTable::link() {
    // First the parent of every node and the number of children of each, so
    // that every index is made at its final size; then the links.
    constexpr std::uint32_t none = UINT32_MAX;
    std::vector<std::uint32_t> parentOf(nodes.size(), none);
    std::vector<std::uint32_t> childCount(nodes.size(), 0);
    {
        TopFinder tops(nodes.size());
        for (ProcessNode& child : nodes) {
            ProcessNode* parent = find(child.kinfo.ki_ppid);
            if (parent == nullptr || parent == &child) continue;
            const std::uint32_t childIndex = static_cast<std::uint32_t>(indexOf(child));
            const std::uint32_t parentIndex = static_cast<std::uint32_t>(indexOf(*parent));
            if (tops.top(parentIndex) == childIndex)
                continue;  // the child is the parent's ancestor
            parentOf[childIndex] = parentIndex;
            ++childCount[parentIndex];
            tops.attach(childIndex, parentIndex);
        }
    }
    for (std::size_t i = 0; i < nodes.size(); ++i)
        if (childCount[i] != 0) nodes[i].reserveChildren(childCount[i]);
    for (std::size_t i = 0; i < nodes.size(); ++i)
        if (parentOf[i] != none) nodes[parentOf[i]].adopt(nodes[i]);
    for (ProcessNode& node : nodes) node.sortChildren();
}

void ProcessTable::markHighlight(pid_t pid) {
    for (ProcessNode* node = find(pid); node != nullptr; node = node->parent)
        node->highlight = true;
}

kvm_t* openKernel() {
    char error[_POSIX2_LINE_MAX];
    kvm_t* handle = kvm_openfiles(nullptr, "/dev/null", nullptr, O_RDONLY, error);
    if (handle == nullptr) errx(1, "%s", error);
    return handle;
}

ProcessTable takeSnapshot(kvm_t* kvm, const OptionFlags& flags, pid_t highlightPid) {
    // The real uid serves the user decorations and the user mode's roots.
    kvmNeedRealUid(kvm, (flags & (Flag::uidChanges | Flag::user)) != 0);
    int count = 0;
    kinfo_proc* records = kvm_getprocs(kvm, KERN_PROC_PROC, 0, &count);
    if (records == nullptr) errx(1, "%s", kvm_geterr(kvm));
    ProcessTable table(flags, kvm, records, count);
    table.link();
    if ((flags & Flag::highlight) != 0) table.markHighlight(highlightPid);
    return table;
}
