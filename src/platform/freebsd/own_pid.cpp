#include "platform/own_pid.h"

#include <unistd.h>

// The kernel's table numbers every process as getpid() does: a jail sees
// the host's pids.
pid_t ownPidInTable() { return getpid(); }
