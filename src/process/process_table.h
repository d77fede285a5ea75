// The snapshot of the process table and the forest built from it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/process_source.h"
#include "process/pid_order.h"
#include "process/process_node.h"
#include "process/table_options.h"

// Every retained node, in ascending pid order (equal pids in snapshot
// order). The table owns the nodes; links between them are plain pointers.
// Made by makeTable alone.
class ProcessTable {
  public:
    using Nodes = std::vector<ProcessNode>;

    ProcessTable(ProcessTable&&) = default;
    ProcessTable(const ProcessTable&) = delete;
    ProcessTable& operator=(const ProcessTable&) = delete;

    // Highlights the node of `pid` and all its ancestors.
    void markHighlight(pid_t pid);

    // The first node with `pid`, or none.
    ProcessNode* find(pid_t pid);

    Nodes::iterator begin() { return nodes.begin(); }
    Nodes::iterator end() { return nodes.end(); }
    std::size_t size() const { return nodes.size(); }

    // The order the children are indexed for: by name alone, or by pid too.
    ChildOrder childOrder() const { return options.childOrder; }

    // The position of `node`, one of this table's, in pid order: 0 up to
    // size() - 1.
    std::size_t indexOf(const ProcessNode& node) const {
        return static_cast<std::size_t>(&node - nodes.data());
    }

  private:
    friend ProcessTable makeTable(const SnapshotReader& read, const TableOptions& options);

    // Takes the records and creates a node for every one that is shown: all
    // of them with showKernel, otherwise those that are no system process of
    // the kernel (the records' kernel mark). The nodes refer to the records, which
    // the table keeps with them.
    ProcessTable(ProcessSnapshot taken, const TableOptions& options);

    // Links every node below the node of its parent pid and puts every
    // child index in key order. A link that would close a cycle of parents
    // is not made, nor one to a parent that started after the child (where
    // the records tell when processes started): that process took the pid
    // of the child's parent after it ended.
    void link();

    // The position of every node's parent by its parent pid, or noParent.
    // Takes byParent.
    std::vector<std::uint32_t> parentsByPid();

    // Leaves in `parentOf` only the links that link() makes, in pid order,
    // and answers the number of children each node gets.
    std::vector<std::uint32_t> keepTrueParents(std::vector<std::uint32_t>& parentOf);

    // A node's place in `parentOf` when it gets no parent.
    static constexpr std::uint32_t noParent = UINT32_MAX;

    // Links `child` below `parent`: into its pid index when the table has
    // them, and into its name index under the child's name, computed here.
    void adopt(ProcessNode& parent, ProcessNode& child);

    // Gives every node with children its indexes, at their final sizes, in
    // one block of the table's.
    void placeIndexes(const std::vector<std::uint32_t>& childCount);

    TableOptions options;
    // The records that the nodes refer to. A vector's elements stay where
    // they are when the table is moved.
    ProcessSnapshot records;
    // The nodes' child indexes, all in one block. Declared before the nodes,
    // so that it outlives them.
    std::unique_ptr<std::byte[]> indexBlock;
    Nodes nodes;
    std::vector<pid_t> pids;  // of the nodes, in the same order
    // The parent pid of every node, with the node's position; taken by link.
    std::vector<PidEntry> byParent;
    bool startsKnown = false;  // whether any record tells when its process started
};

// The table of a run: the snapshot that `read` gives for what `options`
// needs, kept by the table; its retained nodes, linked, every child's name
// encoded on the way (in the locale in force); the highlight marked when
// `options` asks for one. The one way a table is made, for the run, the
// tests and the bench alike.
ProcessTable makeTable(const SnapshotReader& read, const TableOptions& options);
