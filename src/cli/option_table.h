// The command line's options, one row per long name: the name, the short
// letter, what the option does and its line in the help text. getopt_long's long-option
// array and short-option string are built from these rows at compile time, the
// parser acts on the row getopt_long reports, and the help text prints the
// rows, so the three cannot disagree.
#pragma once

#include <getopt.h>

#include <array>
#include <cstddef>

#include "common/option_flags.h"

// What an option does when it is reached.
enum class OptionAction {
    setFlags,       // sets its flags, which only accumulate
    chooseDrawing,  // its drawing set replaces any chosen before
    highlight,      // highlights its pid argument, or the program itself
    selectPid,      // selects the tree of its pid argument
    selectUser,     // selects the trees of its user argument
    showHelp,       // prints the help text and ends the run
    showVersion,    // prints the version and ends the run
};

struct OptionEntry {
    const char* name;  // the long name
    int argument;      // getopt's no_argument, required_argument or optional_argument
    // getopt_long's result for it: the short letter, also for an alias of a
    // short option; '\0' for a long-only option.
    char letter;
    OptionAction action;
    OptionFlags flags;  // the bits it sets: the drawing set, the selection mode, ...
    // Its left column in the help text. An entry without one is an alias:
    // another long name for the option of an entry that has one. An alias
    // gets no help line and does not define the short option.
    const char* helpColumn;
    const char* description;  // of the help line
};

constexpr bool isAlias(const OptionEntry& entry) { return entry.helpColumn == nullptr; }

// Whether the entry gives the short option its argument kind in the short
// option string.
constexpr bool definesShortOption(const OptionEntry& entry) {
    return entry.letter != '\0' && !isAlias(entry);
}

// In the order of the help text; getopt_long reports long options by their
// place in this table.
inline constexpr OptionEntry optionTable[] = {
    {"arguments", no_argument, 'a', OptionAction::setFlags, Flag::arguments | Flag::noCompact,
     "-a, --arguments", "show command line arguments"},
    {"ascii", no_argument, 'A', OptionAction::chooseDrawing, Flag::ascii, "-A, --ascii",
     "use ASCII line drawing characters"},
    {"compact", no_argument, 'c', OptionAction::setFlags, Flag::noCompact, nullptr, nullptr},
    {"no-compact", no_argument, 'c', OptionAction::setFlags, Flag::noCompact, "-c, --no-compact",
     "don't compact identical subtrees"},
    {"help", no_argument, 'h', OptionAction::showHelp, 0, "-h, --help",
     "show this help message and exit"},
    // The second line of the description starts under the first: two
    // spaces, the 27 columns of the option and one space.
    {"highlight", optional_argument, 'H', OptionAction::highlight, Flag::highlight,
     "-H[PID], --highlight[=PID]",
     "highlight the current process (or PID) and its\n"
     "                              ancestors"},
    {"highlight-all", no_argument, 'H', OptionAction::highlight, Flag::highlight, nullptr, nullptr},
    {"highlight-pid", required_argument, 'H', OptionAction::highlight, Flag::highlight, nullptr,
     nullptr},
    {"vt100", no_argument, 'G', OptionAction::chooseDrawing, Flag::vt100, "-G, --vt100",
     "use VT100 line drawing characters"},
    {"show-kernel", no_argument, 'k', OptionAction::setFlags, Flag::showKernel, "-k, --show-kernel",
     "show kernel processes"},
    {"long", no_argument, 'l', OptionAction::setFlags, Flag::longLines, "-l, --long",
     "don't truncate long lines"},
    {"numeric-sort", no_argument, 'n', OptionAction::setFlags, Flag::numericSort,
     "-n, --numeric-sort", "sort output by PID"},
    {"show-pids", no_argument, 'p', OptionAction::setFlags, Flag::showPids | Flag::noCompact,
     "-p, --show-pids", "show PIDs; implies -c"},
    {"show-titles", no_argument, 't', OptionAction::setFlags, Flag::showTitles, "-t, --show-titles",
     "show process titles"},
    {"uid-changes", no_argument, 'u', OptionAction::setFlags, Flag::uidChanges, "-u, --uid-changes",
     "show uid transitions"},
    {"unicode", no_argument, 'U', OptionAction::chooseDrawing, Flag::unicode, "-U, --unicode",
     "use Unicode line drawing characters"},
    {"version", optional_argument, 'V', OptionAction::showVersion, 0, "-V, --version",
     "show version information and exit"},
    {"pid", required_argument, '\0', OptionAction::selectPid, Flag::pid, "PID, --pid=PID",
     "show only the tree rooted at the process PID"},
    {"user", required_argument, '\0', OptionAction::selectUser, Flag::user, "USER, --user=USER",
     "show only trees rooted at processes of USER"},
};

inline constexpr std::size_t optionCount = std::size(optionTable);

namespace option_table_detail {

// One character for the letter and one colon for a required argument, two
// for an optional one.
constexpr std::size_t shortOptionLength(const OptionEntry& entry) {
    if (!definesShortOption(entry)) return 0;
    if (entry.argument == required_argument) return 2;
    if (entry.argument == optional_argument) return 3;
    return 1;
}

constexpr std::size_t shortOptionsSize() {
    std::size_t size = 1;  // the terminating NUL
    for (const OptionEntry& entry : optionTable) size += shortOptionLength(entry);
    return size;
}

constexpr std::array<option, optionCount + 1> buildLongOptions() {
    std::array<option, optionCount + 1> options{};  // ends with a null record
    for (std::size_t i = 0; i < optionCount; ++i)
        options[i] = option{optionTable[i].name, optionTable[i].argument, nullptr,
                            static_cast<unsigned char>(optionTable[i].letter)};
    return options;
}

constexpr std::array<char, shortOptionsSize()> buildShortOptions() {
    std::array<char, shortOptionsSize()> text{};  // ends with a NUL
    std::size_t at = 0;
    for (const OptionEntry& entry : optionTable) {
        const std::size_t length = shortOptionLength(entry);
        if (length == 0) continue;
        text[at] = entry.letter;
        for (std::size_t colon = 1; colon < length; ++colon) text[at + colon] = ':';
        at += length;
    }
    return text;
}

inline constexpr std::array<option, optionCount + 1> longOptionArray = buildLongOptions();
inline constexpr std::array<char, shortOptionsSize()> shortOptionText = buildShortOptions();

}  // namespace option_table_detail

// getopt_long's long options, in table order and ended by a null record.
inline constexpr const option* longOptions = option_table_detail::longOptionArray.data();

// getopt_long's short options: each letter once, followed by ":" when it
// takes an argument and "::" when the argument is optional.
inline constexpr const char* shortOptions = option_table_detail::shortOptionText.data();
