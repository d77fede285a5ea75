// Which records of the kernel's process table are the kernel's own
// processes, which vindle hides unless asked to show them.
#pragma once

#include "platform/kvm.h"

// True for a process that the kernel runs for itself rather than for a user.
//
// FreeBSD marks its kernel processes (pid 0, named kernel, and every process
// the kernel starts for itself) with P_KPROC, and starts all of them with
// parent pid 0, which only init shares. Its P_SYSTEM mark is no guide: init
// carries it as well, and init is shown.
//
// On Linux the layer marks kernel threads with P_SYSTEM, and the parent pid
// tells nothing: a user process entered into a pid namespace from outside has
// parent pid 0 there too, and is no system process.
bool isSystemProcess(const kinfo_proc& record);
