#include "support/program/background_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "support/program/exec_helpers.h"
#include "support/system/process_lifetime.h"

BackgroundProgram::BackgroundProgram(const std::string& program,
                                     const std::vector<std::string>& arguments,
                                     const std::string& argv0) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    std::vector<std::string> argv{argv0.empty() ? program : argv0};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> argvPointers = pointersTo(argv);
    const pid_t parent = getpid();
    child = fork();
    if (child < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        dieWithParent();
        if (getppid() != parent) _exit(127);  // the test died before the call
        int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, 0);
        dup2(pipeFds[1], 1);
        execv(program.c_str(), argvPointers.data());
        _exit(127);
    }
    close(pipeFds[1]);
    output = pipeFds[0];
}

BackgroundProgram::~BackgroundProgram() { stop(); }

std::optional<std::string> BackgroundProgram::readLine(double seconds) {
    const double deadline = now() + seconds;
    for (;;) {
        std::size_t newline = pending.find('\n');
        if (newline != std::string::npos) {
            std::string line = pending.substr(0, newline);
            pending.erase(0, newline + 1);
            return line;
        }
        if (output < 0) return std::nullopt;
        int remaining = static_cast<int>((deadline - now()) * 1000);
        if (remaining <= 0) return std::nullopt;
        pollfd fd = {output, POLLIN, 0};
        int ready = poll(&fd, 1, remaining);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char buffer[4096];
        ssize_t n = read(output, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(output);
            output = -1;
            continue;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
    }
}

int BackgroundProgram::stop() {
    int status = 0;
    if (child > 0) {
        kill(child, SIGKILL);
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        child = -1;
    }
    if (output >= 0) {
        close(output);
        output = -1;
    }
    return status;
}
