// Choosing the tops of the trees that a run prints.
#pragma once

#include <sys/types.h>

#include <cstdint>

#include "process/process_node.h"
#include "process/process_table.h"

// Which trees a run prints.
struct Selection {
    enum class Mode : std::uint8_t {
        allTrees,  // every tree: the roots are the nodes without a parent
        pid,       // the one tree below the process `pid`
        user,      // the trees below the topmost processes of the user `uid`
    };
    Mode mode = Mode::allTrees;
    pid_t pid = 0;  // pid mode: the process at the top
    uid_t uid = 0;  // user mode: whose processes are the roots
};

// The roots chosen outside pid mode, keyed and ordered like a node's
// childrenByName: by name, equal names in ascending pid order.
using RootSet = ChildrenByName;

// The tops of the printed trees.
struct Roots {
    // The mode they were chosen in: a user's topmost processes never show
    // their user.
    Selection::Mode mode = Selection::Mode::allTrees;
    // Pid mode: the selected node (none when no such process is shown). It
    // gets no root flag: it shows its user by its parent's, as any child.
    ProcessNode* selected = nullptr;
    // The other modes: every root, each with its root flag set.
    RootSet byName;
};

// Chooses the roots of `selection`'s mode, sets their root flags and
// computes each one's name, its key (in the locale in force). In user mode
// a root belongs to the user and has no ancestor that does. Comes before
// the first label is made: a root's label depends on its flag.
Roots chooseRoots(ProcessTable& table, const Selection& selection);
