#include "support/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "support/exec_helpers.h"

namespace fs = std::filesystem;

namespace {

// Opens a terminal pair in raw mode (no newline translation) with `size`.
void openTerminal(int& master, int& slave, TerminalSize size) {
    winsize window{};
    window.ws_row = size.rows;
    window.ws_col = size.columns;
    if (openpty(&master, &slave, nullptr, nullptr, &window) != 0)
        throw std::runtime_error("openpty failed");
    termios modes{};
    if (tcgetattr(slave, &modes) == 0) {
        cfmakeraw(&modes);
        tcsetattr(slave, TCSANOW, &modes);
    }
    fcntl(master, F_SETFD, FD_CLOEXEC);
}

// Reads both descriptors until the terminal hangs up (every copy of its
// slave side closed) and the pipe ends, or until `deadline`.
bool drain(int master, int errors, std::string& out, std::string& err, double deadline) {
    pollfd fds[2] = {{master, POLLIN, 0}, {errors, POLLIN, 0}};
    std::string* sinks[2] = {&out, &err};
    int open = 2;
    while (open > 0) {
        const int remaining = static_cast<int>((deadline - now()) * 1000);
        if (remaining <= 0) return false;
        if (poll(fds, 2, remaining) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[65536];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {  // end of the pipe, or EIO once the terminal has hung up
                fds[i].fd = -1;
                --open;
            }
        }
    }
    return true;
}

}  // namespace

ProgramResult runOnTerminal(const std::string& program, const std::vector<std::string>& arguments,
                            TerminalSize size, const std::vector<std::string>& environment,
                            int timeoutSeconds) {
    int master = -1;
    int slave = -1;
    openTerminal(master, slave, size);
    int errPipe[2];
    if (pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environmentCopy = environment;
    std::vector<char*> argvPointers = pointersTo(argv);
    std::vector<char*> environmentPointers = pointersTo(environmentCopy);
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        dup2(slave, 0);
        dup2(slave, 1);
        dup2(errPipe[1], 2);
        if (slave > 2) close(slave);
        execve(program.c_str(), argvPointers.data(), environmentPointers.data());
        _exit(127);
    }
    close(slave);
    close(errPipe[1]);
    ProgramResult result;
    const bool finished = drain(master, errPipe[0], result.out, result.err, now() + timeoutSeconds);
    if (!finished) kill(child, SIGKILL);
    close(master);
    close(errPipe[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!finished || WIFSIGNALED(status))
        result.status = 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : SIGKILL);
    else
        result.status = WEXITSTATUS(status);
    return result;
}

TerminfoDirectory::TerminfoDirectory(const std::string& source) {
    std::string pattern = (fs::temp_directory_path() / "vindle-terminfo-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    directory = pattern;
    const std::string sourcePath = directory + "/descriptions.src";
    std::ofstream(sourcePath) << source;
    const ProgramResult compiled = runProgram("/usr/bin/tic", {"-x", "-o", directory, sourcePath});
    if (compiled.status != 0) {
        std::error_code ignored;
        fs::remove_all(directory, ignored);
        throw std::runtime_error("tic failed: " + compiled.err);
    }
}

TerminfoDirectory::~TerminfoDirectory() {
    std::error_code ignored;
    fs::remove_all(directory, ignored);
}
