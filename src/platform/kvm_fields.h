// Tells the kernel-access layer which members of a record the run reads, and
// reads the members whose form differs between platforms.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/kvm.h"

#if defined(__FreeBSD__)

#include <cerrno>
#include <cstring>

// The system's records always carry every member.
inline void kvmNeedRealUid(kvm_t*, bool) {}

// The records of a snapshot, owned apart from the handle. The system's
// records hold their names.
struct RecordSet {
    std::vector<kinfo_proc> records;
};

// A copy of the `count` records that kvm_getprocs gave: the system's stay
// with the handle until it is closed.
inline RecordSet kvmTakeRecords(kvm_t*, const kinfo_proc* records, int count) {
    return {std::vector<kinfo_proc>(records, records + count)};
}

// When the process of `record` started, in microseconds of the system's
// clock; 0 where unknown.
inline std::uint64_t startTimeOf(const kinfo_proc& record) {
    if (record.ki_start.tv_sec < 0) return 0;
    return static_cast<std::uint64_t>(record.ki_start.tv_sec) * 1000000u +
           static_cast<std::uint64_t>(record.ki_start.tv_usec);
}

// The system's kvm_getargv reads through sysctl, which needs no descriptor;
// of its failures only a lack of memory is not the process's own doing.
inline char** kvmArguments(kvm_t* kd, const kinfo_proc& record, const char*& failure) {
    errno = 0;
    char** vector = kvm_getargv(kd, &record, 0);
    failure = vector == nullptr && errno == ENOMEM ? std::strerror(ENOMEM) : nullptr;
    return vector;
}

#else

#include "platform/linux/name_store.h"

// The records of a snapshot and the names they point at, owned together
// and apart from the handle.
struct RecordSet {
    std::vector<kinfo_proc> records;
    NameStore names;
};

// Moves the records of the last snapshot of `kd` (the `count` records that
// kvm_getprocs gave) and their names out of the handle: they then live as
// long as the set, however long the handle does.
RecordSet kvmTakeRecords(kvm_t* kd, const kinfo_proc* records, int count);

// Whether the later snapshots of `kd` fill ki_ruid (they do until told
// otherwise). Without the user id the layer reads a cheaper source per
// process that has the pid, parent pid, name, kernel-thread mark and start
// time, and leaves ki_ruid 0; with it, the start time is unknown (0).
void kvmNeedRealUid(kvm_t* kd, bool needed);

// When the process of `record` started, in clock ticks after boot; 0 where
// unknown.
inline std::uint64_t startTimeOf(const kinfo_proc& record) { return record.ki_start; }

// kvm_getargv of `record`. When that gives no vector because a resource ran
// out (descriptors, memory), not because the process is gone, hidden from
// this user or without arguments, `failure` says why; otherwise it is null.
char** kvmArguments(kvm_t* kd, const kinfo_proc& record, const char*& failure);

#endif
