// What the kernel reports as a process's own argument vector, and how a
// process replaces it with a title, as daemons do.
#pragma once

#include <string>

// The calling process's argument vector as the kernel reports it to other
// processes: each argument followed by a NUL. Empty when it cannot be read.
std::string ownArgumentMemory();

// Makes the kernel report `title` (and a NUL) as the calling process's whole
// argument vector; argc and argv are main's. False (errno set) when the
// title does not fit or the kernel does not report it afterwards.
bool showTitle(int argc, char** argv, const std::string& title);
