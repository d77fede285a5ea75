// vindle_floor: the least work that yields what a process-tree printer needs
// from /proc, as the floor the benchmark measures vindle against.
//
//   vindle_floor [--cmdline]
//
// Lists /proc and reads /proc/PID/status of every process (name, parent,
// user, kernel-thread mark are all there), and with --cmdline also every
// /proc/PID/cmdline. It keeps nothing and prints one line: the number of
// processes and of bytes read. A read shorter than asked is the end of these
// files, so a file that fits the buffer costs one read.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

char buffer[4096];

// Reads all of `path` below `dirFd`; returns the bytes read.
long readAll(int dirFd, const char* path) {
    int fd = openat(dirFd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    long total = 0;
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        total += n;
        if (static_cast<std::size_t>(n) < sizeof buffer) break;
    }
    close(fd);
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    const bool cmdline = argc > 1 && std::strcmp(argv[1], "--cmdline") == 0;
    if (argc > 2 || (argc == 2 && !cmdline)) {
        std::fputs("usage: vindle_floor [--cmdline]\n", stderr);
        return 2;
    }
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        std::perror("vindle_floor: /proc");
        return 1;
    }
    const int procFd = dirfd(proc);
    long processes = 0;
    long bytes = 0;
    char path[sizeof(dirent::d_name) + 16];
    while (dirent* entry = readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
        std::snprintf(path, sizeof path, "%s/status", entry->d_name);
        long status = readAll(procFd, path);
        if (status == 0) continue;
        ++processes;
        bytes += status;
        if (cmdline) {
            std::snprintf(path, sizeof path, "%s/cmdline", entry->d_name);
            bytes += readAll(procFd, path);
        }
    }
    closedir(proc);
    std::printf("%ld processes, %ld bytes\n", processes, bytes);
    return 0;
}
