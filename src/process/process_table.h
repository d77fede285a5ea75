// The snapshot of the process table and the forest built from it.
#pragma once

#include <sys/types.h>

#include <vector>

#include "common/option_flags.h"
#include "platform/kvm.h"
#include "process/pid_order.h"
#include "process/process_node.h"

// Every retained node, in ascending pid order (equal pids in snapshot
// order). The table owns the nodes; links between them are plain pointers.
class ProcessTable {
  public:
    using Nodes = std::vector<ProcessNode>;

    // Creates a node for every record that is shown: all of them with
    // --show-kernel, otherwise those that are no system process of the
    // kernel (isSystemProcess).
    ProcessTable(const OptionFlags& flags, kvm_t* kvm, const kinfo_proc* records, int count);

    ProcessTable(ProcessTable&&) = default;
    ProcessTable(const ProcessTable&) = delete;
    ProcessTable& operator=(const ProcessTable&) = delete;

    // Links every node below the node of its parent pid and puts every
    // child index in key order. A link that would close a cycle of parents
    // is not made, nor one to a parent that started after the child (where
    // the records tell when processes started): that process took the pid
    // of the child's parent after it ended.
    void link();

    // Highlights the node of `pid` and all its ancestors.
    void markHighlight(pid_t pid);

    // The first node with `pid`, or none.
    ProcessNode* find(pid_t pid);

    Nodes::iterator begin() { return nodes.begin(); }
    Nodes::iterator end() { return nodes.end(); }
    std::size_t size() const { return nodes.size(); }

    // The position of `node`, one of this table's, in pid order: 0 up to
    // size() - 1.
    std::size_t indexOf(const ProcessNode& node) const {
        return static_cast<std::size_t>(&node - nodes.data());
    }

  private:
    Nodes nodes;
    std::vector<pid_t> pids;  // of the nodes, in the same order
    // The parent pid of every node, with the node's position; taken by link.
    std::vector<PidEntry> byParent;
    bool startsKnown = false;  // whether any record tells when its process started
};

// Opens the kernel's process table read-only. A failure ends the process
// with status 1. The handle owns the records that a snapshot's nodes refer
// to: it must stay open as long as any table taken through it.
kvm_t* openKernel();

// Takes the snapshot through `kvm`: the retained, linked and highlight-marked
// table. A failure ends the process with status 1.
ProcessTable takeSnapshot(kvm_t* kvm, const OptionFlags& flags, pid_t highlightPid);
