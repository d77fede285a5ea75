#include "platform/own_pid.h"

#include <unistd.h>

#include <charconv>

// /proc/self names this process's entry of /proc, in the pid namespace of
// that /proc, which getpid() need not be.
pid_t ownPidInTable() {
    char target[32];
    const ssize_t length = readlink("/proc/self", target, sizeof target);
    pid_t pid = 0;
    if (length > 0) {
        const char* end = target + length;
        auto [stop, error] = std::from_chars(target, end, pid);
        if (error == std::errc{} && stop == end && pid > 0) return pid;
    }
    return getpid();
}
