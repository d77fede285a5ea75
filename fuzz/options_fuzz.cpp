// Fuzzes option parsing with argument vectors made of the input's
// NUL-separated words.
//
// parseOptions ends the process for help, version output and every option
// error, which a fuzzer cannot survive in-process. So each vector is first
// parsed in a forked child: if the child ends through one of those exits
// (status 0 or 1), that is all there is to check for it; a crash, a
// sanitizer report or any other status is a fault. If the child returns
// from parsing, the same vector cannot reach an exit, and it is parsed again
// in-process, where coverage is recorded and the results are checked: they
// must be those of the child (parsing can be repeated in one process) and
// obey the rules of the option word.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/options.h"

namespace {

constexpr int returnedStatus = 42;  // the child returned from parsing
constexpr std::size_t maxWords = 24;
constexpr std::size_t maxWordLength = 256;

void require(bool condition) {
    if (!condition) std::abort();
}

// A mutable argument vector: "vindle" followed by the words.
class ArgumentVector {
  public:
    explicit ArgumentVector(const std::vector<std::string>& words) {
        storage.push_back(std::vector<char>{'v', 'i', 'n', 'd', 'l', 'e', '\0'});
        for (const std::string& word : words)
            storage.emplace_back(word.c_str(), word.c_str() + word.size() + 1);
        for (std::vector<char>& word : storage) pointers.push_back(word.data());
        pointers.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(pointers.size() - 1); }
    char** argv() { return pointers.data(); }

  private:
    std::vector<std::vector<char>> storage;
    std::vector<char*> pointers;
};

std::vector<std::string> splitWords(const std::uint8_t* bytes, std::size_t size) {
    std::vector<std::string> words;
    if (size == 0) return words;
    std::string text(reinterpret_cast<const char*>(bytes), size);
    std::size_t start = 0;
    while (words.size() < maxWords && start <= text.size()) {
        std::size_t end = text.find('\0', start);
        if (end == std::string::npos) end = text.size();
        words.push_back(text.substr(start, std::min(end - start, maxWordLength)));
        start = end + 1;
    }
    return words;
}

// The results as text, with the parser's own pid written as "self" (the
// child's and the parent's differ).
std::string describe(const CommandLine& line) {
    std::string text = std::to_string(line.flags) + " " + std::to_string(line.rootPid) + " ";
    text += line.highlightPid == getpid() ? std::string("self") : std::to_string(line.highlightPid);
    if (line.userName) text += " user=" + *line.userName;
    return text;
}

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

// Ends the child with the status it was given, before libFuzzer's own exit
// hook can take the exit for a fault of the target.
void passStatus(int status, void*) { _exit(status); }

[[noreturn]] void runChild(const std::vector<std::string>& words, int resultFd, int errorFd) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(errorFd, STDERR_FILENO);
    on_exit(passStatus, nullptr);
    ArgumentVector arguments(words);
    const std::string result = describe(parseOptions(arguments.argc(), arguments.argv()));
    if (write(resultFd, result.data(), result.size()) != static_cast<ssize_t>(result.size()))
        _exit(2);
    _exit(returnedStatus);
}

struct ChildOutcome {
    int status = -1;
    std::string result;
    std::string errors;
};

ChildOutcome parseInChild(const std::vector<std::string>& words) {
    int resultPipe[2];
    int errorPipe[2];
    require(pipe2(resultPipe, O_CLOEXEC) == 0 && pipe2(errorPipe, O_CLOEXEC) == 0);
    pid_t child = fork();
    require(child >= 0);
    if (child == 0) runChild(words, resultPipe[1], errorPipe[1]);
    close(resultPipe[1]);
    close(errorPipe[1]);
    ChildOutcome outcome;
    outcome.errors = readAll(errorPipe[0]);
    outcome.result = readAll(resultPipe[0]);
    close(errorPipe[0]);
    close(resultPipe[0]);
    while (waitpid(child, &outcome.status, 0) < 0) require(errno == EINTR);
    return outcome;
}

// Up to nine decimal digits without a leading zero.
bool isDecimalPid(const std::string& word) {
    return !word.empty() && word.size() < 10 && word[0] != '0' &&
           word.find_first_not_of("0123456789") == std::string::npos;
}

// What holds for every result of parsing.
void checkRules(const CommandLine& line, const std::vector<std::string>& words) {
    const unsigned flags = line.flags;
    require((flags & 0xC000u) == 0);
    const unsigned drawing = flags & Flag::drawingSets;
    require((drawing & (drawing - 1)) == 0);
    const unsigned selection = flags & Flag::selection;
    require((selection & (selection - 1)) == 0);
    if ((flags & Flag::user) != 0) require(line.userName.has_value());
    if ((flags & Flag::pid) != 0) require(line.rootPid >= 0);
    if ((flags & Flag::highlight) != 0)
        require(line.highlightPid >= 0);
    else
        require(line.highlightPid == 0);
    if ((flags & (Flag::arguments | Flag::showPids)) != 0) require((flags & Flag::noCompact) != 0);

    // Without options, the last word alone decides the selection: a decimal
    // number selects that pid, a word that no number can be written with
    // selects that user.
    bool anyOption = false;
    for (const std::string& word : words)
        anyOption = anyOption || (word.size() > 1 && word[0] == '-');
    if (anyOption || words.empty()) return;
    const std::string& last = words.back();
    if (isDecimalPid(last)) require(selection == Flag::pid && line.rootPid == std::stoi(last));
    if (last.find_first_not_of(" \t\n\v\f\r+-0123456789xXabcdefABCDEF") != std::string::npos)
        require(selection == Flag::user && *line.userName == last);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::vector<std::string> words = splitWords(bytes, size);
    const ChildOutcome child = parseInChild(words);
    if (!WIFEXITED(child.status) ||
        (WEXITSTATUS(child.status) != 0 && WEXITSTATUS(child.status) != 1 &&
         WEXITSTATUS(child.status) != returnedStatus)) {
        std::fprintf(stderr, "parsing in the child failed (wait status %d):\n%s\n", child.status,
                     child.errors.c_str());
        std::abort();
    }
    // Help and version output say nothing on standard error; an option
    // error always says why.
    if (WEXITSTATUS(child.status) == 0) require(child.errors.empty());
    if (WEXITSTATUS(child.status) == 1) require(!child.errors.empty());
    if (WEXITSTATUS(child.status) != returnedStatus) return 0;
    require(child.errors.empty());

    ArgumentVector arguments(words);
    const CommandLine line = parseOptions(arguments.argc(), arguments.argv());
    require(describe(line) == child.result);
    checkRules(line, words);
    return 0;
}

// Sanitizer reports in the child must not look like the option error's
// status 1.
extern "C" const char* __asan_default_options() { return "exitcode=86"; }
extern "C" const char* __ubsan_default_options() {
    return "exitcode=86:halt_on_error=1:print_stacktrace=1";
}
