#include "cli/standard_output.h"

#include <err.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Whether standard output is a pipe or socket that nobody reads any more.
bool readerIsGone() {
    struct stat info {};
    if (fstat(STDOUT_FILENO, &info) != 0 || !(S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)))
        return false;
    pollfd check{STDOUT_FILENO, POLLOUT, 0};
    return poll(&check, 1, 0) == 1 && (check.revents & (POLLERR | POLLHUP)) != 0;
}

}  // namespace

void closeStandardOutputAtExit() {
    errno = 0;
    bool failed = std::ferror(stdout) != 0;
    if (std::fflush(stdout) != 0) failed = true;
    const int error = errno;
    if (!failed) {
        if (std::fclose(stdout) == 0 || errno == EBADF) return;
        warn("write error");
        _exit(1);
    }
    if (error != EPIPE && !readerIsGone()) {
        if (error != 0)
            warnx("write error: %s", std::strerror(error));
        else
            warnx("write error");
    }
    _exit(1);
}
