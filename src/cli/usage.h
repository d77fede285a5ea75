// The help text and the version output; both end the process.
#pragma once

#include <getopt.h>

// Prints the help text, generated from `options`, and exits with `status`.
[[noreturn]] void printUsage(const char* programPath, const option* options, int status);

// Prints "vindle 1.0.3" for "s"/"short", otherwise the long version line
// (followed by the licence notice for "l"/"license"), and exits with 0.
[[noreturn]] void printVersion(const char* argument);
