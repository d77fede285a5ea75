#include "platform/linux/kvm_handle.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

kvm_t* kvmOpenDirectory(const char* directory, char* errbuf) {
    int fd = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        std::snprintf(errbuf, _POSIX2_LINE_MAX, "%s: %s", directory, std::strerror(errno));
        return nullptr;
    }
    kvm_t* kd = new kvm_t;
    kd->directory = directory;
    kd->rootFd = fd;
    return kd;
}
