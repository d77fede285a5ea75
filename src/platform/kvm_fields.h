// Tells the kernel-access layer which members of a record the run reads.
#pragma once

#include "platform/kvm.h"

#if defined(__FreeBSD__)

// The system's records always carry every member.
inline void kvmNeedRealUid(kvm_t*, bool) {}

#else

// Whether the later snapshots of `kd` fill ki_ruid (they do until told
// otherwise). Without the user id the layer reads a cheaper source per
// process that has the pid, parent pid, name and kernel-thread mark, and
// leaves ki_ruid 0.
void kvmNeedRealUid(kvm_t* kd, bool needed);

#endif
