// One retained process: its record, its links in the hierarchy, its cached
// name and label, and its state of highlight, root and folding. Plain data:
// names and labels are made by the Labeller, folding by compaction.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/process_record.h"
#include "process/child_index.h"
#include "process/encoded_name.h"
#include "process/fold_state.h"

class ProcessNode;

// The key of a node in an index of its parent's children by pid.
struct PidKey {
    using Node = ProcessNode;
    static pid_t key(const ProcessNode& node);
};

// The key of a node in an index by name: its encoded name, which whoever
// adds the node computes first (Labeller::name) and which never changes
// after.
struct NameKey {
    using Node = ProcessNode;
    static std::string_view key(const ProcessNode& node);
};

// Children keyed by pid, equal pids in insertion order. Filled only for
// pid order, its one use.
using ChildrenByPid = ChildIndex<PidKey>;

// Children keyed by encoded name; names order by unsigned bytes with a
// prefix first, and equal names stay in insertion (ascending pid) order.
using ChildrenByName = ChildIndex<NameKey>;

class ProcessNode {
  public:
    // `processRecord` must outlive the node.
    explicit ProcessNode(const ProcessRecord& processRecord)
        : record(processRecord), nameCache(EncodedName::rawOf(processRecord.name)) {}

    // The encoded command name once computed (Labeller::name), else the raw one.
    std::string_view name() const { return nameCache.view(); }

    // The first child in name order, or none.
    ProcessNode* firstChild() const {
        return childrenByName.empty() ? nullptr : *childrenByName.begin();
    }

    const ProcessRecord& record;
    // The raw name until Labeller::name encodes it.
    EncodedName nameCache;
    // Only a decorated label is kept apart from the name, and most are not:
    // a pointer costs an undecorated node 8 bytes instead of a string's 32.
    std::unique_ptr<std::string> labelCache;
    ProcessNode* parent = nullptr;
    ChildrenByPid childrenByPid;
    ChildrenByName childrenByName;
    bool highlight = false;
    bool root = false;
    Compactable compactable = Compactable::unknown;
    FoldState fold;
    // The number that the run's compaction gives the labels along this
    // node's chain of first children (0: none yet); equal numbers mean
    // matching chains.
    std::uint32_t chainId = 0;
};

inline pid_t PidKey::key(const ProcessNode& node) { return node.record.pid; }

inline std::string_view NameKey::key(const ProcessNode& node) { return node.nameCache.view(); }
