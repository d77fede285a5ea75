#include "cli/options.h"

#include <err.h>
#include <getopt.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <limits>

#include "cli/option_table.h"
#include "cli/usage.h"
#include "platform/getopt_reset.h"
#include "platform/own_pid.h"
#include "process/visible_text.h"

namespace {

// Numbers are converted into 64 bits wherever the program is built, also
// where long has 32: a number beyond the largest pid must be rejected, not
// clamped to it.
static_assert(std::numeric_limits<long long>::digits == std::numeric_limits<std::int64_t>::digits);

// pid_t is a signed 32-bit integer on every system vindle is built for.
constexpr std::int64_t largestPid = std::numeric_limits<pid_t>::max();
static_assert(largestPid == 2147483647);

}  // namespace

pid_t parseNumber(const char* text, const char* programPath, bool* isNumber) {
    char* end = nullptr;
    const std::int64_t value = std::strtoll(text, &end, 0);
    const char* message = nullptr;
    if (end == text || *end != '\0') {
        if (isNumber != nullptr) {
            *isNumber = false;
            return static_cast<pid_t>(value);
        }
        message = "Number is invalid: \"%s\"";
    } else if (value < 0) {
        message = "Number is too small: \"%s\"";
    } else if (value > largestPid) {
        message = "Number is too large: \"%s\"";
    } else {
        if (isNumber != nullptr) *isNumber = true;
        return static_cast<pid_t>(value);
    }
    // The text is quoted as a name would be shown: no byte of it reaches
    // the terminal raw.
    warnx(message, visEncodePosix(text).c_str());
    printUsage(programPath, optionTable, 1);
}

namespace {

void set(CommandLine& line, OptionFlags bits) {
    line.flags = static_cast<OptionFlags>(line.flags | bits);
}

// Sets `bits` in place of the others of their `group`, of which only one may
// be set.
void replace(CommandLine& line, OptionFlags group, OptionFlags bits) {
    line.flags = static_cast<OptionFlags>((line.flags & ~group) | bits);
}

// The entry that defines the short option getopt_long returned, or null for
// a result that is none.
const OptionEntry* shortOption(int letter) {
    for (const OptionEntry& entry : optionTable)
        if (definesShortOption(entry) && entry.letter == letter) return &entry;
    return nullptr;
}

// Acts on one option of the command line, with its argument or null.
void applyOption(CommandLine& line, const OptionEntry& entry, const char* argument,
                 const char* programPath) {
    switch (entry.action) {
        case OptionAction::setFlags:
            set(line, entry.flags);
            return;
        case OptionAction::chooseDrawing:
            replace(line, Flag::drawingSets, entry.flags);
            return;
        case OptionAction::highlight:
            line.highlightPid =
                argument != nullptr ? parseNumber(argument, programPath, nullptr) : ownPidInTable();
            set(line, entry.flags);
            return;
        case OptionAction::selectPid:
            line.rootPid = parseNumber(argument, programPath, nullptr);
            replace(line, Flag::selection, entry.flags);
            return;
        case OptionAction::selectUser:
            line.userName = argument;
            replace(line, Flag::selection, entry.flags);
            return;
        // Neither of these returns: the run ends with its output.
        case OptionAction::showHelp:
            return printUsage(programPath, optionTable, 0);
        case OptionAction::showVersion:
            return printVersion(argument);
    }
}

// Every positional argument selects a pid when it is a number and a user
// otherwise; the last one decides the mode.
void applyPositional(CommandLine& line, int argc, char** argv) {
    OptionFlags mode = 0;
    for (int i = optind; i < argc; ++i) {
        bool isNumber = false;
        const pid_t pid = parseNumber(argv[i], argv[0], &isNumber);
        if (isNumber) {
            line.rootPid = pid;
            mode = Flag::pid;
        } else {
            line.userName = argv[i];
            mode = Flag::user;
        }
    }
    if (mode != 0) replace(line, Flag::selection, mode);
}

}  // namespace

CommandLine parseOptions(int argc, char** argv) {
    CommandLine line;
    resetGetopt();
    for (;;) {
        // getopt_long reports a long option by its place in the table and
        // leaves the index alone for a short one.
        int index = -1;
        const int result = getopt_long(argc, argv, shortOptions, longOptions, &index);
        if (result == -1) break;
        if (result == '?') printUsage(argv[0], optionTable, 1);  // after the library's diagnostic
        const OptionEntry* entry =
            index >= 0 ? &optionTable[static_cast<std::size_t>(index)] : shortOption(result);
        if (entry != nullptr) applyOption(line, *entry, optarg, argv[0]);
    }
    applyPositional(line, argc, argv);
    return line;
}
