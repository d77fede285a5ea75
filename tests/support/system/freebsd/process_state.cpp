#include "support/system/process_state.h"

#include <sys/param.h>
#include <sys/sysctl.h>
#include <sys/user.h>

#include <cstddef>

namespace {

// The kernel's copy of the argument vector; empty for a zombie, which has
// none left.
std::string argumentsOf(pid_t pid) {
    int name[] = {CTL_KERN, KERN_PROC, KERN_PROC_ARGS, static_cast<int>(pid)};
    std::size_t size = 0;
    if (sysctl(name, 4, nullptr, &size, nullptr, 0) != 0 || size == 0) return {};
    std::string text(size, '\0');
    if (sysctl(name, 4, text.data(), &size, nullptr, 0) != 0) return {};
    text.resize(size);
    return text;
}

}  // namespace

std::optional<ProcessState> processState(pid_t pid) {
    int name[] = {CTL_KERN, KERN_PROC, KERN_PROC_PID, static_cast<int>(pid)};
    kinfo_proc record{};
    std::size_t size = sizeof record;
    if (sysctl(name, 4, &record, &size, nullptr, 0) != 0 || size != sizeof record)
        return std::nullopt;
    ProcessState state;
    state.zombie = record.ki_stat == SZOMB;
    state.parent = record.ki_ppid;
    state.group = record.ki_pgid;
    state.uid = record.ki_ruid;
    state.gid = record.ki_rgid;
    state.name = record.ki_comm;
    state.arguments = state.zombie ? std::string() : argumentsOf(pid);
    return state;
}
