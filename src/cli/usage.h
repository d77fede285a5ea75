// The help text and the version output; both end the process.
#pragma once

#include <span>

#include "cli/option_table.h"

// Prints the help text, one line for each entry of `options` that is not an
// alias, and exits with `status`.
[[noreturn]] void printUsage(const char* programPath, std::span<const OptionEntry> options,
                             int status);

// Prints "vindle VERSION" for "s"/"short", otherwise the long version line
// (followed by the licence notice for "l"/"license"), and exits with 0.
[[noreturn]] void printVersion(const char* argument);
