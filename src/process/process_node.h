// One retained process: its record, its links in the hierarchy, its cached
// name and label, and its compaction state.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/option_flags.h"
#include "platform/kvm.h"
#include "process/child_index.h"
#include "process/encoded_name.h"

class ProcessNode;

// The key of a node in an index of its parent's children by pid.
struct PidKey {
    using Node = ProcessNode;
    static pid_t key(const ProcessNode& node);
};

// The key of a node in an index by name: its encoded name, which must be
// computed (name()) before the node is added and never changes after.
struct NameKey {
    using Node = ProcessNode;
    static std::string_view key(const ProcessNode& node);
};

// Children keyed by pid, equal pids in insertion order. Filled only for
// --numeric-sort, the one use of pid order.
using ChildrenByPid = ChildIndex<PidKey>;

// Children keyed by encoded name; names order by unsigned bytes with a
// prefix first, and equal names stay in insertion (ascending pid) order.
using ChildrenByName = ChildIndex<NameKey>;

class ProcessNode {
  public:
    ProcessNode(const OptionFlags& optionFlags, kvm_t* handle, const kinfo_proc& record)
        : flags(optionFlags), kvm(handle), kinfo(record) {}

    // Links `child` below this node, unless it is this node itself. The
    // indexes are in key order once sortChildren has run.
    void adopt(ProcessNode& child);

    // Makes room for `count` children in the indexes that adopt fills.
    void reserveChildren(std::size_t count) {
        if ((flags & Flag::numericSort) != 0) childrenByPid.reserve(count);
        childrenByName.reserve(count);
    }

    // Puts both child indexes in key order, after the last adopt.
    void sortChildren() {
        childrenByPid.sort();
        childrenByName.sort();
    }

    // The process's argument vector, the title first, ended by a null
    // entry; null when it has none (gone, hidden from this user, or never
    // had one). A vector that cannot be read for want of a resource
    // (descriptors, memory) ends the run with status 1 and the reason.
    char** arguments();

    // The encoded command name, computed once.
    std::string_view name();

    // The display label: name or title, with the pid and user decorations.
    std::string_view label();

    // Whether this node's subtree matches `other`'s along both chains of
    // first children; on a match, passes `other`'s highlights to this chain.
    bool sameSubtree(ProcessNode& other);

    // Highlights every node of this node's chain of first children whose
    // counterpart, in the same position on `other`'s chain, is highlighted.
    // The chains are taken to match; it stops at the end of either.
    void passHighlightFrom(const ProcessNode& other);

    // The first child in name order, or none.
    ProcessNode* firstChild() const {
        return childrenByName.empty() ? nullptr : *childrenByName.begin();
    }

    const OptionFlags& flags;
    kvm_t* kvm;
    const kinfo_proc& kinfo;
    EncodedName nameCache;
    // Only a decorated label is kept apart from the name, and most are not:
    // a pointer costs an undecorated node 8 bytes instead of a string's 32.
    std::unique_ptr<std::string> labelCache;
    ProcessNode* parent = nullptr;
    ChildrenByPid childrenByPid;
    ChildrenByName childrenByName;
    bool highlight = false;
    bool root = false;
    std::int8_t compactable = -1;  // -1 not yet computed, 0 no, 1 yes
    // The number that the run's compaction gives the labels along this
    // node's chain of first children (0: none yet); equal numbers mean
    // matching chains.
    std::uint32_t chainId = 0;
    std::uint64_t duplicates = 0;  // 0 normal, 1 hidden, N >= 2 head of a group of N
};

inline pid_t PidKey::key(const ProcessNode& node) { return node.kinfo.ki_pid; }

inline std::string_view NameKey::key(const ProcessNode& node) { return node.nameCache.view(); }
