// What the process table of a run holds, as the command line chooses it.
#pragma once

struct TableOptions {
    bool showKernel = false;     // keep the processes that the kernel marks as its own
    bool childrenByPid = false;  // index every node's children by pid too (for pid order)
    bool realUid = false;        // read every process's real uid (user decorations, user mode)
};
