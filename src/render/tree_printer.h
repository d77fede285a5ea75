// Printing a process and its descendants as a tree.
#pragma once

#include "process/labeller.h"
#include "process/process_node.h"
#include "process/process_table.h"
#include "process/root_choice.h"
#include "render/line_writer.h"

// Prints `node` and its descendants, the children of every node in the order
// of its own index of the kind of `children` (`node`'s own index). However
// deep the tree, the call stack does not grow with it.
// Labels and arguments come from `labeller`.
void printTree(ProcessNode& node, LineWriter& writer, Labeller& labeller,
               const ChildrenByName& children);
void printTree(ProcessNode& node, LineWriter& writer, Labeller& labeller,
               const ChildrenByPid& children);

// Prints every chosen tree: in pid mode the selected one; otherwise every
// root's, the roots and every node's children in pid order with
// --numeric-sort, else in name order.
void printTrees(ProcessTable& table, const Roots& roots, LineWriter& writer, Labeller& labeller);

// printTree in the run's order: by pid with --numeric-sort, else by name.
void printTreeInOrder(ProcessNode& node, LineWriter& writer, Labeller& labeller);

// Writes `node`'s branch drawing and label (and, with --arguments, its
// arguments and the end of its line).
void printNode(ProcessNode& node, LineWriter& writer, Labeller& labeller);
