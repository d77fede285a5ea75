#include "render/terminal.h"

#include <curses.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <term.h>

#include <cstdlib>
#include <cstring>
#undef columns  // term.h names every capability as a macro

namespace {

// The stack that the terminfo library is asked on: it keeps buffers of
// 32 KiB and more on it while it reads a description.
constexpr std::size_t terminfoStack = 1024 * 1024;

// The columns of the window of the terminal on `fd`; 0 when it reports none.
std::uint64_t windowColumns(int fd) {
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

// The terminfo library takes COLUMNS, when set to a number above 0, before
// the window's size. A width that is not the window's own is COLUMNS's; so
// is one without a window size to compare with, when COLUMNS is set.
WidthSource sourceOf(std::uint64_t columns, int fd) {
    const std::uint64_t window = windowColumns(fd);
    if (window != 0) return columns == window ? WidthSource::Terminal : WidthSource::Environment;
    const char* variable = std::getenv("COLUMNS");
    return variable != nullptr && *variable != '\0' ? WidthSource::Environment
                                                    : WidthSource::Terminal;
}

TerminalWidth askTerminfo(int fd) {
    TerminalWidth width;
    int error = 0;
    if (setupterm(nullptr, fd, &error) != OK) {
        width.columns = 80;
        width.source = WidthSource::Fallback;
        return width;
    }
    // Sign-widened: an absent capability (-1) becomes a width no line reaches.
    const int columns = tigetnum(const_cast<char*>("cols"));
    width.columns = static_cast<std::uint64_t>(static_cast<std::int64_t>(columns));
    width.autoMarginNoXenl =
        tigetflag(const_cast<char*>("am")) != 0 && tigetflag(const_cast<char*>("xenl")) == 0;
    width.source = columns > 0 ? sourceOf(width.columns, fd) : WidthSource::Terminal;
    return width;
}

// What the thread that asks terminfo is given and gives back.
struct Question {
    int fd;
    TerminalWidth answer;
};

void* askTerminfoOnThread(void* question) {
    Question& asked = *static_cast<Question*>(question);
    asked.answer = askTerminfo(asked.fd);
    return nullptr;
}

// Whether this thread's stack may take the terminfo library: the main
// thread's grows up to RLIMIT_STACK.
bool stackSuffices() {
    rlimit limit{};
    return getrlimit(RLIMIT_STACK, &limit) == 0 &&
           (limit.rlim_cur == RLIM_INFINITY ||
            limit.rlim_cur >= static_cast<rlim_t>(terminfoStack));
}

}  // namespace

TerminalWidth queryWidth(bool longLines, bool isTerminal, int fd) {
    if (!isTerminal || longLines) return {};
    Question question{fd, {}};
    pthread_attr_t attributes;
    int error = pthread_attr_init(&attributes);
    if (error == 0) {
        error = pthread_attr_setstacksize(&attributes, terminfoStack);
        pthread_t thread;
        if (error == 0)
            error = pthread_create(&thread, &attributes, askTerminfoOnThread, &question);
        pthread_attr_destroy(&attributes);
        if (error == 0) {
            pthread_join(thread, nullptr);
            return question.answer;
        }
    }
    // No thread to be had (a process limit, or memory): this one, if its
    // stack allows.
    if (stackSuffices()) return askTerminfo(fd);
    throw TerminalUnreadable{std::string("cannot read the terminal description: ") +
                             std::strerror(error)};
}
