// Which of FreeBSD's process records are the kernel's own processes.
#pragma once

#include "platform/freebsd/kvm_headers.h"

// True for a process that the kernel runs for itself rather than for a user.
//
// FreeBSD marks its kernel processes (pid 0, named kernel, and every process
// the kernel starts for itself) with P_KPROC, and starts all of them with
// parent pid 0, which only init shares. Its P_SYSTEM mark is no guide: init
// carries it as well, and init is shown.
bool isKernelProcess(const kinfo_proc& record);
