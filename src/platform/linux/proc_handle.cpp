#include "platform/linux/proc_handle.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "platform/failure.h"

ProcessSource openProcDirectory(const char* directory) {
    const int fd = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) throw Failure{std::string(directory) + ": " + std::strerror(errno)};
    try {
        ProcessSource source(new SourceHandle);
        source->directory = directory;
        source->rootFd = fd;
        return source;
    } catch (const std::bad_alloc&) {
        close(fd);
        throw;
    }
}

void closeSource(SourceHandle* source) {
    close(source->rootFd);
    delete source;
}
