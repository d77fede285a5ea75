// The pid of this process as the process table that the run reads numbers
// it.
#pragma once

#include <sys/types.h>

// The pid under which this process stands in the table that vindle reads:
// on Linux, /proc may belong to another pid namespace than the process (a
// pid namespace made without a /proc of its own), and numbers it there;
// elsewhere, and where /proc does not say, the pid of getpid().
pid_t ownPidInTable();
