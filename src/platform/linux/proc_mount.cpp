#include "platform/linux/proc_mount.h"

#include <limits.h>
#include <linux/magic.h>
#include <sys/vfs.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool isProcFilesystem(int fd, const char* directory, char* errbuf) {
    struct statfs info;
    if (fstatfs(fd, &info) != 0) {
        std::snprintf(errbuf, _POSIX2_LINE_MAX, "%s: %s", directory, std::strerror(errno));
        return false;
    }
    if (info.f_type == PROC_SUPER_MAGIC) return true;
    std::snprintf(errbuf, _POSIX2_LINE_MAX, "%s is not a proc filesystem (is proc mounted there?)",
                  directory);
    return false;
}
