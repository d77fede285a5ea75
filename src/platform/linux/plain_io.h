// open, read and close as plain system calls.
//
// Once a process has started a thread, libc's open, read and close are
// cancellation points, and their bookkeeping costs several percent of a
// snapshot's time (it stays so after the threads end). The layer cancels
// nothing, so it calls the kernel directly. Errors come back as from libc:
// -1 with errno set.
#pragma once

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstddef>

inline int openFile(int dirFd, const char* path) {
    return static_cast<int>(syscall(SYS_openat, dirFd, path, O_RDONLY | O_CLOEXEC));
}

inline ssize_t readSome(int fd, char* buffer, std::size_t size) {
    return static_cast<ssize_t>(syscall(SYS_read, fd, buffer, size));
}

inline void closeFile(int fd) { syscall(SYS_close, fd); }
