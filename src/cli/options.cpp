#include "cli/options.h"

#include <err.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli/usage.h"
#include "platform/getopt_reset.h"

const option longOptions[] = {
    {"arguments", no_argument, nullptr, 'a'},
    {"ascii", no_argument, nullptr, 'A'},
    {"compact", no_argument, nullptr, 'c'},
    {"no-compact", no_argument, nullptr, 'c'},
    {"help", no_argument, nullptr, 'h'},
    {"highlight", optional_argument, nullptr, 'H'},
    {"highlight-all", no_argument, nullptr, 'H'},
    {"highlight-pid", required_argument, nullptr, 'H'},
    {"vt100", no_argument, nullptr, 'G'},
    {"show-kernel", no_argument, nullptr, 'k'},
    {"long", no_argument, nullptr, 'l'},
    {"numeric-sort", no_argument, nullptr, 'n'},
    {"show-pids", no_argument, nullptr, 'p'},
    {"show-titles", no_argument, nullptr, 't'},
    {"uid-changes", no_argument, nullptr, 'u'},
    {"unicode", no_argument, nullptr, 'U'},
    {"version", optional_argument, nullptr, 'V'},
    {"pid", required_argument, nullptr, 0},
    {"user", required_argument, nullptr, 0},
    {nullptr, 0, nullptr, 0},
};

pid_t parseNumber(const char* programPath, const option* options, bool* isNumber) {
    const char* text = optarg;
    char* end = nullptr;
    long value = std::strtol(text, &end, 0);
    const char* message = nullptr;
    if (end == text || *end != '\0') {
        if (isNumber != nullptr) {
            *isNumber = false;
            return static_cast<pid_t>(value);
        }
        message = "Number is invalid: \"%s\"";
    } else if (value < 0) {
        message = "Number is too small: \"%s\"";
    } else if (value >= 0x80000000L) {
        message = "Number is too large: \"%s\"";
    } else {
        if (isNumber != nullptr) *isNumber = true;
        return static_cast<pid_t>(value);
    }
    warnx(message, text);
    printUsage(programPath, options, 1);
}

namespace {

void selectMode(CommandLine& line, OptionFlags mode) {
    line.flags = static_cast<OptionFlags>((line.flags & ~Flag::selection) | mode);
}

void selectDrawing(CommandLine& line, OptionFlags set) {
    line.flags = static_cast<OptionFlags>((line.flags & ~Flag::drawingSets) | set);
}

void set(CommandLine& line, OptionFlags bits) {
    line.flags = static_cast<OptionFlags>(line.flags | bits);
}

// Acts on one result of getopt_long.
void applyOption(CommandLine& line, int result, int index, char* programPath) {
    switch (result) {
        case 'a':
            set(line, Flag::arguments | Flag::noCompact);
            break;
        case 'A':
            selectDrawing(line, Flag::ascii);
            break;
        case 'c':
            set(line, Flag::noCompact);
            break;
        case 'h':
            printUsage(programPath, longOptions, 0);
        case 'H':
            line.highlightPid =
                optarg != nullptr ? parseNumber(programPath, longOptions, nullptr) : getpid();
            set(line, Flag::highlight);
            break;
        case 'G':
            selectDrawing(line, Flag::vt100);
            break;
        case 'k':
            set(line, Flag::showKernel);
            break;
        case 'l':
            set(line, Flag::longLines);
            break;
        case 'n':
            set(line, Flag::numericSort);
            break;
        case 'p':
            set(line, Flag::showPids | Flag::noCompact);
            break;
        case 't':
            set(line, Flag::showTitles);
            break;
        case 'u':
            set(line, Flag::uidChanges);
            break;
        case 'U':
            selectDrawing(line, Flag::unicode);
            break;
        case 'V':
            printVersion(optarg);
        case 0:
            if (std::strcmp(longOptions[index].name, "user") == 0) {
                line.userName = optarg;
                selectMode(line, Flag::user);
            } else if (std::strcmp(longOptions[index].name, "pid") == 0) {
                line.rootPid = parseNumber(programPath, longOptions, nullptr);
                selectMode(line, Flag::pid);
            }
            break;
        case '?':
            printUsage(programPath, longOptions, 1);
        default:
            break;
    }
}

// Every positional argument selects a pid when it is a number and a user
// otherwise; the last one decides the mode.
void applyPositional(CommandLine& line, int argc, char** argv) {
    OptionFlags mode = 0;
    for (int i = optind; i < argc; ++i) {
        optarg = argv[i];
        bool isNumber = false;
        line.rootPid = parseNumber(argv[0], longOptions, &isNumber);
        if (isNumber) {
            mode = Flag::pid;
        } else {
            line.userName = argv[i];
            mode = Flag::user;
        }
    }
    if (mode != 0) selectMode(line, mode);
}

}  // namespace

CommandLine parseOptions(int argc, char** argv) {
    CommandLine line;
    resetGetopt();
    for (;;) {
        int index = 0;
        int result = getopt_long(argc, argv, shortOptions, longOptions, &index);
        if (result == -1) break;
        applyOption(line, result, index, argv[0]);
    }
    applyPositional(line, argc, argv);
    return line;
}
