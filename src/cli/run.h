// The steps of a run after option parsing.
#pragma once

#include <sys/types.h>

#include "cli/options.h"
#include "process/process_node.h"
#include "process/process_table.h"
#include "render/line_writer.h"

// The roots chosen outside pid mode, keyed and ordered like a node's
// childrenByName: by name, equal names in ascending pid order.
using RootSet = ChildrenByName;

// In user mode, the uid of the selected user; ends the process with status 1
// when the user does not exist or the lookup fails. 0 in other modes.
uid_t lookUpUser(const CommandLine& line);

// Chooses the roots of the selected mode, compacts unless told not to, and
// prints every tree in name or pid order.
void printForest(ProcessTable& table, LineWriter& writer, const CommandLine& line, uid_t rootUid);
