// vindle: prints the machine's processes as a forest of trees.
#include <err.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/options.h"
#include "cli/run.h"
#include "process/process_table.h"
#include "render/line_writer.h"

namespace {

// Whether standard output is a pipe or socket that nobody reads any more.
bool readerIsGone() {
    struct stat info {};
    if (fstat(STDOUT_FILENO, &info) != 0 || !(S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)))
        return false;
    pollfd check{STDOUT_FILENO, POLLOUT, 0};
    return poll(&check, 1, 0) == 1 && (check.revents & (POLLERR | POLLHUP)) != 0;
}

// Runs at every exit, after help and version output too: output that could
// not be written ends the run with status 1 and a message, never with 0. A
// reader that stopped reading early (`vindle | head -1` with SIGPIPE ignored)
// ends it quietly. A closed standard output that nothing was written to
// loses nothing.
void closeStandardOutput() {
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

}  // namespace

int main(int argc, char** argv) {
    std::atexit(closeStandardOutput);
    char fallbackName[] = "vindle";
    char* fallbackArgv[] = {fallbackName, nullptr};
    if (argc < 1 || argv[0] == nullptr) {  // started with an empty argument vector
        argc = 1;
        argv = fallbackArgv;
    }
    const CommandLine line = parseOptions(argc, argv);
    const uid_t rootUid = lookUpUser(line);
    ProcessTable table = takeSnapshot(line.flags, line.highlightPid);
    LineWriter writer(line.flags);
    printForest(table, writer, line, rootUid);
    return 0;
}
