// Printing the chosen trees, each node with its branch drawing and label.
#pragma once

#include "process/labeller.h"
#include "process/process_node.h"
#include "process/process_table.h"
#include "process/root_choice.h"
#include "render/line_writer.h"
#include "render/output_setup.h"

// Prints every chosen tree: in pid mode the selected one; otherwise every
// root's. Children and roots come in the table's order: pid order from the
// table and each node's pid index, name order from the name indexes.
void printTrees(ProcessTable& table, const Roots& roots, LineWriter& writer, Labeller& labeller,
                const OutputOptions& options);

// Prints `node` and its descendants, the children of every node in the order
// of its own index of the kind of `children` (`node`'s own index). However
// deep the tree, the call stack does not grow with it. Labels and arguments
// come from `labeller`; of `options` only `arguments` is read here.
void printTree(ProcessNode& node, LineWriter& writer, Labeller& labeller,
               const ChildrenByName& children, const OutputOptions& options);
void printTree(ProcessNode& node, LineWriter& writer, Labeller& labeller,
               const ChildrenByPid& children, const OutputOptions& options);
