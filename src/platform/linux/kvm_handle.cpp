#include "platform/linux/kvm_handle.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

kvm_t* kvmOpenDirectory(const char* directory, char* errbuf) {
    int fd = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        std::snprintf(errbuf, _POSIX2_LINE_MAX, "%s: %s", directory, std::strerror(errno));
        return nullptr;
    }
    std::unique_ptr<kvm_t> kd;
    try {
        kd = std::make_unique<kvm_t>();
        kd->directory = directory;
    } catch (const std::bad_alloc&) {
        close(fd);
        std::snprintf(errbuf, _POSIX2_LINE_MAX, "out of memory");
        return nullptr;
    }
    kd->rootFd = fd;
    return kd.release();
}
