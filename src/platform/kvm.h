// The four kernel-memory access operations and the process record.
//
// On FreeBSD these are the system's own (<kvm.h>, -lkvm). Elsewhere the layer
// in platform/linux provides the same operations over /proc, with a record
// that carries only the members the program reads.
#pragma once

#if defined(__FreeBSD__)

#include <fcntl.h>
#include <kvm.h>
#include <limits.h>
#include <sys/param.h>
#include <sys/proc.h>
#include <sys/sysctl.h>
#include <sys/user.h>

#else

#include <fcntl.h>
#include <limits.h>
#include <sys/types.h>

#include <cstdint>

// Longest command name kept: the kernel reports up to 63 bytes for its workers.
constexpr int COMMLEN = 64;

// Selects every process (thread-group leaders only).
constexpr int KERN_PROC_PROC = 8;

// Mark of a system (kernel) process in ki_flag.
constexpr int P_SYSTEM = 0x00200;

struct kinfo_proc {
    pid_t ki_pid;
    pid_t ki_ppid;
    uid_t ki_ruid;
    int ki_flag;  // FreeBSD's is a long; of its marks only P_SYSTEM is kept here
    // The command name, NUL-terminated, at most COMMLEN bytes. FreeBSD keeps
    // it in the record; here the handle keeps every name of a snapshot apart
    // and the record points at its own, for most names are a fraction of
    // the longest.
    const char* ki_comm;
    // When the process started, in clock ticks after boot (field 22 of
    // /proc/PID/stat); 0 where unknown: /proc/PID/status does not say.
    // FreeBSD's ki_start is a struct timeval.
    std::uint64_t ki_start;
};

struct kvm_t;

kvm_t* kvm_openfiles(const char* execfile, const char* corefile, const char* swapfile, int flags,
                     char* errbuf);
struct kinfo_proc* kvm_getprocs(kvm_t* kd, int op, int arg, int* count);
char* kvm_geterr(kvm_t* kd);
// Releases the handle; the program never does, tests that open many do.
int kvm_close(kvm_t* kd);
char** kvm_getargv(kvm_t* kd, const struct kinfo_proc* record, int nchr);

#endif
