// Reading the command line into the option word and the selection.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "common/option_flags.h"

// The four results of option parsing.
struct CommandLine {
    OptionFlags flags = 0;
    pid_t rootPid = 0;
    pid_t highlightPid = 0;
    std::optional<std::string> userName;
};

// Parses `argv` (which getopt_long may reorder) with the options of
// cli/option_table.h. Help, version output and every option error end the
// process from here. Resets the getopt state first, so it can be called more
// than once in one process.
CommandLine parseOptions(int argc, char** argv);

// Converts `text` into a pid. A text that is not a number is an error unless
// `isNumber` is given, which then reports it; a number below 0 or above
// 2147483647 is always an error. An error prints its warning and the help
// text and ends the process with status 1; `programPath` names the program in
// the help text.
pid_t parseNumber(const char* text, const char* programPath, bool* isNumber);
