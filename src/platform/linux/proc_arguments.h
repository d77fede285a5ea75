// Splitting the text of /proc/PID/cmdline into an argument vector.
#pragma once

#include <vector>

// Turns `buffer` (the NUL-separated arguments the kernel reported) into a
// null-terminated vector of pointers into it. An empty text gives an empty
// vector: the process has no argument vector.
//
// A process may have rewritten its argument memory as a title: the title (and
// any arguments it keeps) followed by NULs up to the old length, or, when the
// last byte of the memory is no longer NUL, one string that the kernel
// reports without a NUL at its end. So a text that does not end in a NUL gets
// one appended, and a trailing run of empty strings is taken as padding and
// left out; the first string always stays, empty or not. Empty arguments
// between others stay as they are. A process that really ends its arguments
// with empty ones (`cmd x ""`) cannot be told from a padded title, and shows
// without them.
void splitArguments(std::vector<char>& buffer, std::vector<char*>& argv);
