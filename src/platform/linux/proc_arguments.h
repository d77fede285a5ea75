// Splitting the text of /proc/PID/cmdline into an argument vector.
#pragma once

#include <vector>

// Turns `buffer` (the NUL-separated arguments the kernel reported) into a
// null-terminated vector of pointers into it. A text that does not end in a
// NUL (a process that rewrote its arguments) gets one appended. An empty text
// gives an empty vector: the process has no argument vector.
void splitArguments(std::vector<char>& buffer, std::vector<char*>& argv);
