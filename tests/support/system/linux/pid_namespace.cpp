#include "support/system/pid_namespace.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

ChildPidNamespace::ChildPidNamespace() {
    if (geteuid() != 0) {
        reason = "a pid namespace of the test's own needs root";
        return;
    }
    ownNamespace = open("/proc/self/ns/pid_for_children", O_RDONLY | O_CLOEXEC);
    if (ownNamespace < 0) {
        reason = std::string("/proc/self/ns/pid_for_children: ") + std::strerror(errno);
        return;
    }
    if (unshare(CLONE_NEWPID) != 0) {
        reason = std::string("cannot make a pid namespace: ") + std::strerror(errno);
        close(ownNamespace);
        ownNamespace = -1;
    }
}

ChildPidNamespace::~ChildPidNamespace() {
    if (ownNamespace < 0) return;
    setns(ownNamespace, CLONE_NEWPID);
    close(ownNamespace);
}
