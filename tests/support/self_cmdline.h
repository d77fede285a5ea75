// What the kernel reports as this process's argument memory, for the helper
// programs that set it up and check it.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <string>

// The bytes of /proc/self/cmdline; empty when it cannot be read.
inline std::string readSelfCmdline() {
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
