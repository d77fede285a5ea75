#include "support/system/argument_memory.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

std::string ownArgumentMemory() {
    std::string text;
    int fd = open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    close(fd);
    return text;
}

// Overwrites the argument memory with the title and a NUL. The rest of the
// memory is filled with blanks, so that its last byte is not NUL: the kernel
// then reports the memory as a title that ends at the first NUL, and
// /proc/PID/cmdline reads exactly "title\0".
bool showTitle(int argc, char** argv, const std::string& title) {
    char* start = argv[0];
    char* end = argv[argc - 1] + std::strlen(argv[argc - 1]) + 1;
    std::size_t size = static_cast<std::size_t>(end - start);
    if (title.size() + 1 > size) {
        errno = ENOSPC;
        return false;
    }
    std::memcpy(start, title.c_str(), title.size() + 1);
    std::memset(start + title.size() + 1, ' ', size - title.size() - 1);
    if (ownArgumentMemory() != title + '\0') {
        errno = EPROTO;
        return false;
    }
    return true;
}
