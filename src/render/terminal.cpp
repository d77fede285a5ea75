#include "render/terminal.h"

#include <curses.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <term.h>

#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/failure.h"
#include "render/child_answer.h"
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

// What the terminfo library says of the terminal on standard output.
struct Description {
    int columns = 0;  // tigetnum("cols"): -1 when absent
    bool autoMargin = false;
    bool newlineGlitch = false;
};

// What the question asked in the child gives back: a description, none
// (TERM unset, or a terminal terminfo does not know or cannot read), or the
// error that kept it from asking at all.
struct Reply {
    std::optional<Description> description;
    std::optional<int> unaskable;  // the error of the thread that could not be started
};

std::optional<Description> askTerminfo(int fd) {
    int error = 0;
    if (setupterm(nullptr, fd, &error) != OK) return std::nullopt;
    return Description{tigetnum(const_cast<char*>("cols")), tigetflag(const_cast<char*>("am")) != 0,
                       tigetflag(const_cast<char*>("xenl")) != 0};
}

// What the thread that asks terminfo is given and gives back.
struct Question {
    int fd;
    std::optional<Description> answer;
};

void* askTerminfoOnThread(void* question) {
    Question& asked = *static_cast<Question*>(question);
    asked.answer = askTerminfo(asked.fd);
    return nullptr;
}

// Whether this thread's stack may take the terminfo library: the main
// thread's grows up to RLIMIT_STACK, which is raised for it where the hard
// limit allows.
bool stackSuffices() {
    rlimit limit{};
    if (getrlimit(RLIMIT_STACK, &limit) != 0) return false;
    const auto needed = static_cast<rlim_t>(terminfoStack);
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= needed) return true;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < needed) return false;
    limit.rlim_cur = needed;
    return setrlimit(RLIMIT_STACK, &limit) == 0;
}

// Asks terminfo on this thread, the only one of the child, when its stack
// allows; otherwise on a thread with a stack sized for it.
Reply askOnLargeStack(int fd) {
    if (stackSuffices()) return {askTerminfo(fd), std::nullopt};
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
            return {question.answer, std::nullopt};
        }
    }
    return {std::nullopt, error};
}

// The reply as the child writes it: "unaskable ERROR", "unknown" or
// "described COLUMNS AM XENL" with AM and XENL 0 or 1.
std::string encodeReply(const Reply& reply) {
    if (reply.unaskable) return "unaskable " + std::to_string(*reply.unaskable);
    if (!reply.description) return "unknown";
    const Description& d = *reply.description;
    return "described " + std::to_string(d.columns) + " " + (d.autoMargin ? "1" : "0") + " " +
           (d.newlineGlitch ? "1" : "0");
}

// The next word of `rest`, up to a space or the end, taken off it.
std::string_view nextWord(std::string_view& rest) {
    const std::size_t space = rest.find(' ');
    const std::string_view word = rest.substr(0, space);
    rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    return word;
}

// The decimal number that `word` is, wholly, within [least, most].
std::optional<int> numberIn(std::string_view word, int least, int most) {
    int value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size() || word.empty() || value < least ||
        value > most)
        return std::nullopt;
    return value;
}

// The reply that `text` holds, or none when it is not one that encodeReply
// writes.
std::optional<Reply> decodeReply(std::string_view text) {
    const std::string_view kind = nextWord(text);
    if (kind == "unknown" && text.empty()) return Reply{};
    if (kind == "unaskable") {
        const std::optional<int> error = numberIn(nextWord(text), 1, INT_MAX);
        if (!error || !text.empty()) return std::nullopt;
        return Reply{std::nullopt, error};
    }
    if (kind != "described") return std::nullopt;
    const std::optional<int> columns = numberIn(nextWord(text), INT_MIN, INT_MAX);
    const std::optional<int> autoMargin = numberIn(nextWord(text), 0, 1);
    const std::optional<int> newlineGlitch = numberIn(nextWord(text), 0, 1);
    if (!columns || !autoMargin || !newlineGlitch || !text.empty()) return std::nullopt;
    return Reply{Description{*columns, *autoMargin == 1, *newlineGlitch == 1}, std::nullopt};
}

// The reply of a child that asks terminfo, or none when no child could be
// had or it did not answer: it died (the library may corrupt its heap on a
// broken compiled description), failed or said something else. Reading a
// description takes milliseconds; the bound is for a description that
// cannot be read at all (a FIFO where a file should be).
std::optional<Reply> askChild(int fd) {
    constexpr std::size_t longestReply = 64;
    constexpr int seconds = 10;
    const std::optional<std::string> text =
        askInChild([fd] { return encodeReply(askOnLargeStack(fd)); }, longestReply, seconds);
    if (!text) return std::nullopt;
    return decodeReply(*text);
}

TerminalWidth fallbackWidth() {
    return {.columns = 80, .autoMarginNoXenl = false, .source = WidthSource::Fallback};
}

}  // namespace

TerminalWidth queryWidth(bool longLines, bool isTerminal, int fd) {
    if (!isTerminal || longLines) return {};
    // The library is asked in a child process: a broken description makes
    // it overrun its heap, which must not be ours. A child that cannot be
    // had, that dies or that answers nonsense counts as a terminal that
    // terminfo does not describe.
    const std::optional<Reply> reply = askChild(fd);
    if (!reply) return fallbackWidth();
    if (reply->unaskable)
        throw Failure{std::string("cannot read the terminal description: ") +
                      std::strerror(*reply->unaskable)};
    if (!reply->description) return fallbackWidth();
    const Description& description = *reply->description;
    TerminalWidth width;
    width.autoMarginNoXenl = description.autoMargin && !description.newlineGlitch;
    width.source = WidthSource::Terminal;
    if (description.columns > 0) {
        width.columns = static_cast<std::uint64_t>(description.columns);
        width.source = sourceOf(*width.columns, fd);
    }
    return width;
}
