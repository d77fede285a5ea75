// Tells the kernel-access layer which members of a record the run reads,
// reads the members whose form differs between systems, and takes a
// snapshot's records out of the handle. Each system's directory implements
// them (kvm_fields.cpp) and defines RecordSet (record_set.h).
#pragma once

#include <cstdint>

#include "platform/argument_vector.h"
#include "platform/kvm.h"
#include "record_set.h"

// Takes the records of the last snapshot of `kd` (the `count` records that
// kvm_getprocs gave), with their names, out of the handle or copies them:
// they then live as long as the set, however long the handle does.
RecordSet kvmTakeRecords(kvm_t* kd, const kinfo_proc* records, int count);

// Whether the later snapshots of `kd` fill ki_ruid (they do until told
// otherwise). FreeBSD's records always carry every member. On Linux, without
// the user id the layer reads a cheaper source per process that has the
// pid, parent pid, name, kernel-thread mark and start time, and leaves
// ki_ruid 0; with it, the start time is unknown (0).
void kvmNeedRealUid(kvm_t* kd, bool needed);

// When the process of `record` started, in the system's own units (clock
// ticks after boot on Linux, microseconds of the system's clock on FreeBSD),
// only ever compared with another record's; 0 where unknown.
std::uint64_t startTimeOf(const kinfo_proc& record);

// kvm_getargv of `record`, read as far as `extent` needs, and whether it was
// cut. When that gives no vector because a resource ran out (descriptors,
// memory), not because the process is gone, hidden from this user or
// without arguments, `failure` says why; otherwise it is null.
ArgumentVector kvmArguments(kvm_t* kd, const kinfo_proc& record, ArgumentExtent extent,
                            const char*& failure);
