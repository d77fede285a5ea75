// Which records of the kernel's process table are the kernel's own
// processes, which vindle hides unless asked to show them.
#pragma once

#include "platform/kvm.h"

// True for a process that the kernel runs for itself rather than for a user.
//
// The kernel marks such a process with P_SYSTEM: FreeBSD does so itself, and
// the Linux layer sets the mark for kernel threads. FreeBSD also starts every
// one of them with parent pid 0, which only init shares, so there the parent
// pid tells the same. On Linux it does not: a user process entered into a pid
// namespace from outside has parent pid 0 there too, and is no system process.
bool isSystemProcess(const kinfo_proc& record);
