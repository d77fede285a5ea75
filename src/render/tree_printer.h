// Printing a process and its descendants as a tree.
#pragma once

#include "process/process_node.h"
#include "render/line_writer.h"
#include "render/output_setup.h"

// Prints `node` and its descendants, the children of every node in the order
// of its own index of the kind of `children` (`node`'s own index). However
// deep the tree, the call stack does not grow with it. Of `options` only
// `arguments` is read here.
void printTree(ProcessNode& node, LineWriter& writer, const ChildrenByName& children,
               const OutputOptions& options);
void printTree(ProcessNode& node, LineWriter& writer, const ChildrenByPid& children,
               const OutputOptions& options);

// printTree in the order of `options`.
void printTreeInOrder(ProcessNode& node, LineWriter& writer, const OutputOptions& options);

// Writes `node`'s branch drawing and label (and, with `options.arguments`,
// its arguments and the end of its line).
void printNode(ProcessNode& node, LineWriter& writer, const OutputOptions& options);
