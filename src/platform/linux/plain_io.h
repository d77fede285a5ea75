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

#include <cerrno>
#include <cstddef>

inline int openFile(int dirFd, const char* path) {
    return static_cast<int>(syscall(SYS_openat, dirFd, path, O_RDONLY | O_CLOEXEC));
}

inline ssize_t readSome(int fd, char* buffer, std::size_t size) {
    return static_cast<ssize_t>(syscall(SYS_read, fd, buffer, size));
}

// Closes `fd`, keeping errno: a caller reports why a read failed, not
// what closing the file said.
inline void closeFile(int fd) {
    const int error = errno;
    syscall(SYS_close, fd);
    errno = error;
}

// An open descriptor, closed when this goes, on every path out of the
// reading, a thrown bad_alloc among them.
class OpenFile {
  public:
    OpenFile(int dirFd, const char* path) : fd(openFile(dirFd, path)) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (fd >= 0) closeFile(fd);
    }

    // Whether the file was opened; when not, errno says why.
    bool isOpen() const { return fd >= 0; }
    int descriptor() const { return fd; }

  private:
    int fd;
};

// Reads into `buffer` until it is full or a read comes back shorter than
// asked: the kernel hands out a per-process text whole when it fits, so a
// short read is the end, and that spares one read per file. The byte count,
// or -1 with errno set.
inline ssize_t readUpTo(int fd, char* buffer, std::size_t size) {
    std::size_t total = 0;
    while (total < size) {
        const ssize_t n = readSome(fd, buffer + total, size - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        const bool shortRead = static_cast<std::size_t>(n) < size - total;
        total += static_cast<std::size_t>(n);
        if (shortRead) break;
    }
    return static_cast<ssize_t>(total);
}
