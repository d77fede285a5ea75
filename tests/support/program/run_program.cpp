#include "support/program/run_program.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "support/program/build_paths.h"
#include "support/program/exec_helpers.h"
#include "support/program/program_copy.h"
#include "support/system/program_setup.h"
#include "support/system/pseudo_terminal.h"

std::string vindlePath() { return VINDLE_BINARY; }

std::string toolPath(const std::string& name) { return std::string(VINDLE_TOOLS_DIR) + "/" + name; }

namespace {

// Exit statuses of a child that could not be set up as asked.
constexpr int userFailed = 125;
constexpr int procFailed = 126;
constexpr int execFailed = 127;

// Opens a terminal pair in raw mode (no newline translation) with `size`;
// the master side is closed on exec.
void openTerminal(int& master, int& slave, TerminalSize size) {
    if (!openPseudoTerminal(master, slave, size.rows, size.columns))
        throw std::runtime_error("no pseudo-terminal could be opened");
    termios modes{};
    if (tcgetattr(slave, &modes) == 0) {
        cfmakeraw(&modes);
        tcsetattr(slave, TCSANOW, &modes);
    }
    fcntl(master, F_SETFD, FD_CLOEXEC);
}

// In the child: writes why the set-up failed to the report pipe and exits.
[[noreturn]] void failSetup(int reportFd, const char* what, int status) {
    const int error = errno;
    const char* reason = std::strerror(error);
    ssize_t ignored = write(reportFd, what, std::strlen(what));
    ignored = write(reportFd, ": ", 2);
    ignored = write(reportFd, reason, std::strlen(reason));
    (void)ignored;
    _exit(status);
}

// The descriptors of one run, each -1 where not used. In the child,
// `input`, `output` and `errors` become 0, 1 and 2.
struct Descriptors {
    int input = -1;
    int output = -1;
    int errors = -1;
    int readOutput = -1;  // the test's side of standard output
    int readErrors = -1;
    int report = -1;  // the child's set-up report, closed on exec
    int readReport = -1;
};

// In the child, between fork and exec: only calls that are safe there.
[[noreturn]] void becomeProgram(const ProgramOptions& options, const Descriptors& fds,
                                const char* program, char** argv, char** environment) {
    if (options.privateProc && !enterPrivateProc(options.privateProc->c_str()))
        failSetup(fds.report, "a /proc of its own", procFailed);
    if (options.output == StandardOutput::terminal) {
        setsid();
        ioctl(fds.output, TIOCSCTTY, 0);
    }
    dup2(fds.input, 0);
    if (options.output == StandardOutput::closed)
        close(1);
    else
        dup2(fds.output, 1);
    dup2(fds.errors, 2);
    if (fds.input > 2) close(fds.input);  // the terminal's slave side, now 0 and 1
    signal(SIGPIPE, options.ignorePipeSignal ? SIG_IGN : SIG_DFL);
    if (options.user &&
        (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(*options.user)) != 0 ||
         setuid(*options.user) != 0))
        failSetup(fds.report, "another user", userFailed);
    // Under limits the program starts with standard input, output and error
    // alone, whatever the test inherited, so that the limits count what the
    // program opens itself.
    if (!options.limits.empty()) closeOnExecFrom(3);
    for (const ResourceLimit& limit : options.limits) {
        const rlimit value{static_cast<rlim_t>(limit.value), static_cast<rlim_t>(limit.value)};
        if (setrlimit(limit.resource, &value) != 0)
            failSetup(fds.report, "a resource limit", execFailed);
    }
    execve(program, argv, environment);
    failSetup(fds.report, "exec", execFailed);
}

// The environment the program starts with: the one given, or the test's
// own, with LeakSanitizer switched on or off as asked (a later setting in
// ASAN_OPTIONS wins over an earlier one).
std::vector<std::string> environmentFor(const ProgramOptions& options) {
    std::vector<std::string> environment = options.environment;
    if (!options.replaceEnvironment) {
        environment.clear();
        for (char** variable = environ; *variable != nullptr; ++variable)
            environment.emplace_back(*variable);
    }
    const std::string leaks = options.checkLeaks ? "detect_leaks=1" : "detect_leaks=0";
    const std::string name = "ASAN_OPTIONS=";
    for (std::string& variable : environment) {
        if (variable.rfind(name, 0) == 0) {
            variable += (variable.size() > name.size() ? ":" : "") + leaks;
            return environment;
        }
    }
    environment.push_back(name + leaks);
    return environment;
}

// Reads the given descriptors into their sinks until each ends (end of a
// pipe, or EIO once a terminal has hung up), or until `deadline`. Returns
// false at the deadline.
bool collect(std::vector<pollfd>& fds, const std::vector<std::string*>& sinks, double deadline) {
    std::size_t open = fds.size();
    while (open > 0) {
        const int remaining = static_cast<int>((deadline - now()) * 1000);
        if (remaining <= 0) return false;
        if (poll(fds.data(), static_cast<nfds_t>(fds.size()), remaining) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[65536];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    return true;
}

void closeIfOpen(int fd) {
    if (fd >= 0) close(fd);
}

}  // namespace

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const ProgramOptions& options) {
    Descriptors fds;
    int pipeEnds[2];
    if (options.output == StandardOutput::terminal) {
        openTerminal(fds.readOutput, fds.output, options.terminalSize);
        fds.input = fds.output;
    } else {
        fds.input = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (options.output == StandardOutput::pipe ||
            options.output == StandardOutput::readerGone) {
            if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
            fds.readOutput = pipeEnds[0];
            fds.output = pipeEnds[1];
            if (options.output == StandardOutput::readerGone) {
                close(fds.readOutput);
                fds.readOutput = -1;
            }
        }
    }
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    fds.readErrors = pipeEnds[0];
    fds.errors = pipeEnds[1];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    fds.readReport = pipeEnds[0];
    fds.report = pipeEnds[1];

    // Another user may not be able to reach the program where it is; a copy
    // it can reach runs in its place, under the name the caller gave.
    std::optional<ProgramCopy> copy;
    if (options.user) copy.emplace(program);
    const std::string& executed = copy ? copy->path() : program;

    std::vector<std::string> argv{options.argv0.empty() ? program : options.argv0};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = environmentFor(options);
    std::vector<char*> argvPointers = pointersTo(argv);
    std::vector<char*> environmentPointers = pointersTo(environment);
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0)
        becomeProgram(options, fds, executed.c_str(), argvPointers.data(),
                      environmentPointers.data());

    // The child's ends; standard input may be the terminal's slave side,
    // which is also its standard output.
    if (fds.input != fds.output) closeIfOpen(fds.input);
    closeIfOpen(fds.output);
    close(fds.errors);
    close(fds.report);

    ProgramResult result;
    std::vector<pollfd> polled;
    std::vector<std::string*> sinks;
    if (fds.readOutput >= 0) {
        polled.push_back({fds.readOutput, POLLIN, 0});
        sinks.push_back(&result.out);
    }
    polled.push_back({fds.readErrors, POLLIN, 0});
    sinks.push_back(&result.err);
    polled.push_back({fds.readReport, POLLIN, 0});
    sinks.push_back(&result.setupError);
    const bool finished = collect(polled, sinks, now() + options.timeoutSeconds);
    if (!finished) kill(child, SIGKILL);
    closeIfOpen(fds.readOutput);
    close(fds.readErrors);
    close(fds.readReport);

    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!finished || WIFSIGNALED(status))
        result.status = 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : SIGKILL);
    else
        result.status = WEXITSTATUS(status);
    return result;
}

ProgramResult runVindle(const std::vector<std::string>& arguments, const ProgramOptions& options) {
    return runProgram(vindlePath(), arguments, options);
}

ProgramResult runVindleInLocale(const std::vector<std::string>& arguments,
                                const std::string& locale) {
    ProgramOptions options;
    options.replaceEnvironment = true;
    options.environment = {"PATH=/usr/bin:/bin", "LC_ALL=" + locale};
    return runVindle(arguments, options);
}

std::string pidOption(pid_t pid) { return "--pid=" + std::to_string(pid); }
