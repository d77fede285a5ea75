// Running the built vindle (or a test tool) as a child process, in the
// environments the whole-program tests need: output on a pipe or a
// pseudo-terminal, closed, or to a pipe nobody reads; as another user; on a
// /proc of its own.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

struct ProgramResult {
    std::string out;  // standard output (the terminal's bytes on a terminal)
    std::string err;  // standard error
    int status = -1;  // exit status, or 128 + signal number
    // Why the program could not be started as asked (another user, a /proc
    // of its own, exec); empty when it was. The status is then 125 to 127.
    std::string setupError;
};

struct TerminalSize {
    unsigned short rows = 0;
    unsigned short columns = 0;  // 0 x 0: the terminal reports no size
};

// Where the program's standard output goes.
enum class StandardOutput {
    pipe,        // a pipe the test reads to its end, into ProgramResult::out
    terminal,    // a new pseudo-terminal of `terminalSize`, also standard input
                 // and the program's controlling terminal; it does no output
                 // processing, so `out` holds the program's bytes unchanged
    closed,      // descriptor 1 closed
    readerGone,  // a pipe whose reading end is closed before the program starts
};

// A resource limit that the program starts under, as `prlimit` or `ulimit`
// would set it: soft and hard limit alike.
struct ResourceLimit {
    int resource = 0;  // RLIMIT_NOFILE, RLIMIT_AS, RLIMIT_STACK, ...
    unsigned long long value = 0;
};

// Every member has an initialiser, so that designated initialisers may leave
// any of them out.
struct ProgramOptions {
    // Replaces the environment when given; otherwise the test's own is used.
    std::vector<std::string> environment{};
    bool replaceEnvironment = false;
    // argv[0]; the program path when empty.
    std::string argv0{};
    // Kills the program after this many seconds (reported as 128 + SIGKILL).
    int timeoutSeconds = 60;
    StandardOutput output = StandardOutput::pipe;
    TerminalSize terminalSize{};
    // SIGPIPE ignored from the start, as a parent may leave it; otherwise it
    // has its default action.
    bool ignorePipeSignal = false;
    // Run as this user, with the group of the same number and no
    // supplementary groups. Needs root. The program runs from a copy that
    // every user can reach (support/program/program_copy.h), since the way to the
    // original may be closed to this user; argv[0] is still its given path.
    std::optional<uid_t> user{};
    // Run in a mount namespace of its own, on a new proc filesystem mounted
    // on /proc with these options (e.g. "hidepid=1"). Needs root.
    std::optional<std::string> privateProc{};
    // Set in the child just before exec; the program then inherits no
    // descriptor but 0, 1 and 2.
    std::vector<ResourceLimit> limits{};
    // In a sanitizer build, whether LeakSanitizer checks the program when it
    // exits. Its check takes most of a short run's time, and a leak shows on
    // any run that takes the leaking path: the runs of the leak-check suite
    // (leak_check_test.cpp), which take every path, ask for it, and the
    // others run with AddressSanitizer's and UndefinedBehaviorSanitizer's
    // checks alone. Whatever ASAN_OPTIONS the test has is kept otherwise.
    bool checkLeaks = false;
};

// Runs `program` with `arguments`: standard input /dev/null (or the
// terminal), standard output as `options.output` says, standard error on a
// pipe.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const ProgramOptions& options = {});

// Runs the built vindle.
ProgramResult runVindle(const std::vector<std::string>& arguments,
                        const ProgramOptions& options = {});

// Runs the built vindle with its output to a pipe and an environment of PATH
// and LC_ALL=`locale` alone, so that nothing of the test's own environment
// (TERM, COLUMNS, the locale) reaches the output.
ProgramResult runVindleInLocale(const std::vector<std::string>& arguments,
                                const std::string& locale = "C");

// The option that selects the tree of `pid`.
std::string pidOption(pid_t pid);

// The path of the built vindle and of a test tool.
std::string vindlePath();
std::string toolPath(const std::string& name);
