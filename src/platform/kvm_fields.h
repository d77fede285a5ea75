// Tells the kernel-access layer which members of a record the run reads, and
// reads the members whose form differs between platforms.
#pragma once

#include <cstdint>

#include "platform/kvm.h"

#if defined(__FreeBSD__)

#include <cerrno>
#include <cstring>

// The system's records always carry every member.
inline void kvmNeedRealUid(kvm_t*, bool) {}

// When the process of `record` started, in microseconds of the system's
// clock; 0 where unknown.
inline std::uint64_t startTimeOf(const kinfo_proc& record) {
    if (record.ki_start.tv_sec < 0) return 0;
    return static_cast<std::uint64_t>(record.ki_start.tv_sec) * 1000000u +
           static_cast<std::uint64_t>(record.ki_start.tv_usec);
}

// The system's kvm_getargv reads through sysctl, which needs no descriptor;
// of its failures only a lack of memory is not the process's own doing.
inline const char* kvmArgvFailure(kvm_t*) {
    return errno == ENOMEM ? std::strerror(ENOMEM) : nullptr;
}

#else

// Whether the later snapshots of `kd` fill ki_ruid (they do until told
// otherwise). Without the user id the layer reads a cheaper source per
// process that has the pid, parent pid, name, kernel-thread mark and start
// time, and leaves ki_ruid 0; with it, the start time is unknown (0).
void kvmNeedRealUid(kvm_t* kd, bool needed);

// When the process of `record` started, in clock ticks after boot; 0 where
// unknown.
inline std::uint64_t startTimeOf(const kinfo_proc& record) { return record.ki_start; }

// After kvm_getargv on `kd` gave no vector, with errno 0 before the call:
// why, when a resource ran out (descriptors, memory) rather than the process
// being gone, hidden from this user or without arguments; otherwise null.
const char* kvmArgvFailure(kvm_t* kd);

#endif
