#include "support/system/program_setup.h"

#include <unistd.h>

#include <cerrno>

// FreeBSD has no mount namespaces: a private /proc cannot be set up.
bool enterPrivateProc(const char*) {
    errno = ENOSYS;
    return false;
}

void closeOnExecFrom(unsigned int lowest) { close_range(lowest, ~0u, CLOSE_RANGE_CLOEXEC); }
