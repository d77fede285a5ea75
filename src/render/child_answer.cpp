#include "render/child_answer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

namespace {

// The child's part: no core file of a crash, no message of one on the
// terminal; the answer written whole, or a failure status.
[[noreturn]] void answerAndExit(const std::function<std::string()>& question, int out) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const int nowhere = open("/dev/null", O_WRONLY);
    if (nowhere >= 0) {
        dup2(nowhere, STDERR_FILENO);
        if (nowhere != STDERR_FILENO) close(nowhere);
    } else {
        close(STDERR_FILENO);
    }
    std::string answer;
    try {
        answer = question();
    } catch (...) {
        _exit(1);
    }
    for (std::size_t written = 0; written < answer.size();) {
        const ssize_t count = write(out, answer.data() + written, answer.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) _exit(1);
        written += static_cast<std::size_t>(count);
    }
    _exit(0);
}

// What the child wrote, read until it closed its end or the time ran out.
struct Reading {
    bool ended = false;  // the child closed its end: it has exited, or is about to
    bool fits = true;    // no more than the limit
    std::string text;
};

Reading readAnswer(int in, std::size_t limit, int seconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(seconds);
    Reading reading;
    char buffer[256];
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return reading;
        pollfd ready{in, POLLIN, 0};
        const int polled = poll(&ready, 1, static_cast<int>(left));
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) return reading;
        const ssize_t count = read(in, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return reading;
        if (count == 0) {
            reading.ended = true;
            return reading;
        }
        // What runs past the limit is read and dropped, so that the child
        // is never left blocked on a full pipe.
        reading.fits =
            reading.fits && reading.text.size() + static_cast<std::size_t>(count) <= limit;
        if (reading.fits) reading.text.append(buffer, static_cast<std::size_t>(count));
    }
}

// Reaps `child`, killed first unless it has closed its end of the pipe;
// whether it exited by itself with status 0.
bool reapedClean(pid_t child, bool ended) {
    if (!ended) kill(child, SIGKILL);
    int status = 0;
    for (;;) {
        if (waitpid(child, &status, 0) == child) break;
        if (errno != EINTR) return false;
    }
    return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// SIGCHLD set to be ignored, as a parent may hand it down through exec,
// makes the system reap children by itself: their status would be lost and
// their pid free for another process while we may still kill it. It is
// taken back to its default for as long as the child lives.
class DefaultChildSignal {
  public:
    DefaultChildSignal() {
        struct sigaction standard {};
        standard.sa_handler = SIG_DFL;
        sigemptyset(&standard.sa_mask);
        changed = sigaction(SIGCHLD, &standard, &previous) == 0;
    }
    ~DefaultChildSignal() {
        if (changed) sigaction(SIGCHLD, &previous, nullptr);
    }
    DefaultChildSignal(const DefaultChildSignal&) = delete;
    DefaultChildSignal& operator=(const DefaultChildSignal&) = delete;

  private:
    struct sigaction previous {};
    bool changed = false;
};

}  // namespace

std::optional<std::string> askInChild(const std::function<std::string()>& question,
                                      std::size_t limit, int seconds) {
    int ends[2];
    if (pipe(ends) != 0) return std::nullopt;
    const DefaultChildSignal defaultChildSignal;
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        answerAndExit(question, ends[1]);
    }
    close(ends[1]);
    if (child < 0) {
        close(ends[0]);
        return std::nullopt;
    }
    Reading reading = readAnswer(ends[0], limit, seconds);
    close(ends[0]);
    if (!reapedClean(child, reading.ended) || !reading.fits) return std::nullopt;
    return std::move(reading.text);
}
