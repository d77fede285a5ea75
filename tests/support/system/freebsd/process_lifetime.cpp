#include "support/system/process_lifetime.h"

#include <signal.h>
#include <sys/procctl.h>
#include <sys/wait.h>
#include <unistd.h>

void dieWithParent() {
    int signal = SIGKILL;
    procctl(P_PID, 0, PROC_PDEATHSIG_CTL, &signal);
}

void adoptOrphans() { procctl(P_PID, getpid(), PROC_REAP_ACQUIRE, nullptr); }

// The parent-death signal survives a change of user here, and root reads
// the arguments of a process that changed user: setting the signal again
// does no harm and keeps the two systems' calls in step.
void restoreAfterUserSwitch() { dieWithParent(); }
