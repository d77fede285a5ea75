#include "support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "support/exec_helpers.h"

std::string vindlePath() { return VINDLE_BINARY; }

std::string toolPath(const std::string& name) { return std::string(VINDLE_TOOLS_DIR) + "/" + name; }

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const ProgramOptions& options) {
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<std::string> argv{options.argv0.empty() ? program : options.argv0};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = options.environment;
    std::vector<char*> argvPointers = pointersTo(argv);
    std::vector<char*> environmentPointers = pointersTo(environment);
    pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        if (options.replaceEnvironment)
            execve(program.c_str(), argvPointers.data(), environmentPointers.data());
        else
            execv(program.c_str(), argvPointers.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    ProgramResult result;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    const double deadline = now() + options.timeoutSeconds;
    bool killed = false;
    while (open > 0) {
        int remaining = static_cast<int>((deadline - now()) * 1000);
        if (remaining <= 0) {
            kill(child, SIGKILL);
            killed = true;
            break;
        }
        if (poll(fds, 2, remaining) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[65536];
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (pollfd& fd : fds)
        if (fd.fd >= 0) close(fd.fd);
    int status = 0;
    waitpid(child, &status, 0);
    if (killed || WIFSIGNALED(status))
        result.status = 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : SIGKILL);
    else
        result.status = WEXITSTATUS(status);
    return result;
}

ProgramResult runVindle(const std::vector<std::string>& arguments, const ProgramOptions& options) {
    return runProgram(vindlePath(), arguments, options);
}
