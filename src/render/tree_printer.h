// Printing a process and its descendants as a tree: ProcessNode::printTree,
// ProcessNode::printNode and LineWriter::writeLabel are defined in
// tree_printer.cpp.
#pragma once

#include "process/process_node.h"
#include "render/line_writer.h"
