#include "support/system/process_lifetime.h"

#include <signal.h>
#include <sys/prctl.h>

void dieWithParent() { prctl(PR_SET_PDEATHSIG, SIGKILL); }

void adoptOrphans() { prctl(PR_SET_CHILD_SUBREAPER, 1); }

void restoreAfterUserSwitch() {
    prctl(PR_SET_DUMPABLE, 1);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
}
