#include "support/system/program_setup.h"

#include <linux/close_range.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

bool enterPrivateProc(const char* options) {
    return unshare(CLONE_NEWNS) == 0 &&
           mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount("proc", "/proc", "proc", 0, options) == 0;
}

void closeOnExecFrom(unsigned int lowest) { close_range(lowest, ~0u, CLOSE_RANGE_CLOEXEC); }
