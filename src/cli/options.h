// Reading the command line into the option word and the selection.
#pragma once

#include <getopt.h>
#include <sys/types.h>

#include <optional>
#include <string>

#include "common/option_flags.h"

// The short options; H and V take an optional attached argument.
inline constexpr char shortOptions[] = "aAchH::GklnptuUV::";

// The long options in the order the help text lists them, ended by a null
// record.
extern const option longOptions[];

// The four results of option parsing.
struct CommandLine {
    OptionFlags flags = 0;
    pid_t rootPid = 0;
    pid_t highlightPid = 0;
    std::optional<std::string> userName;
};

// Parses `argv` (which getopt_long may reorder). Help, version output and
// every option error end the process from here. Resets the getopt state
// first, so it can be called more than once in one process.
CommandLine parseOptions(int argc, char** argv);

// Converts the current optarg into a pid. A text that is not a number is an
// error unless `isNumber` is given, which then reports it; a number below 0
// or above 2147483647 is always an error. An error prints its warning and the
// help text and ends the process with status 1.
pid_t parseNumber(const char* programPath, const option* options, bool* isNumber);
