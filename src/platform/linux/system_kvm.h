// The kernel-memory access operations, declared as FreeBSD declares them, and
// the process record with the members the program reads. kvm.cpp and the
// readers beside it implement them over /proc.
#pragma once

#include <fcntl.h>
#include <limits.h>
#include <sys/types.h>

#include <cstdint>

// Longest command name kept. Linux gives a user process up to 15 bytes and
// reports up to 63 for its kernel workers; FreeBSD's COMMLEN is 19, its
// MAXCOMLEN, and the record holds the name in COMMLEN + 1 bytes.
constexpr int COMMLEN = 64;

// Selects every process (thread-group leaders only); FreeBSD's value.
constexpr int KERN_PROC_PROC = 8;

// FreeBSD's system-process mark in ki_flag, with its value. The layer sets it
// for kernel threads and for nothing else. FreeBSD sets it for its kernel
// processes and for init too, and marks the kernel processes alone with
// P_KPROC: isSystemProcess reads on each system the mark that means kernel.
constexpr int P_SYSTEM = 0x00200;

// The members the program reads, with FreeBSD's names and, but for two, its
// types (pid_t and uid_t are 32 bits on both systems).
struct kinfo_proc {
    pid_t ki_pid;
    pid_t ki_ppid;
    uid_t ki_ruid;
    // FreeBSD's is a long. An int holds the one mark set here and keeps the
    // record small; the program only tests bits in it, which reads the same
    // with either type.
    int ki_flag;
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
// /proc/PID/cmdline, at most `nchr` bytes, and no more than execve could
// have passed (argumentBound) when `nchr` is 0 or above that, as FreeBSD
// reads at most ARG_MAX (512 KiB, 256 KiB on 32-bit systems), all that its
// execve takes. A process may have more (its argument memory pointed at a
// larger mapping): the rest is not read.
char** kvm_getargv(kvm_t* kd, const struct kinfo_proc* record, int nchr);
