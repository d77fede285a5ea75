// What the kernel reports of one process, read on the tests' own terms to
// check the processes the tests spawn.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

struct ProcessState {
    bool zombie = false;
    pid_t parent = 0;
    pid_t group = 0;  // the process group
    uid_t uid = 0;    // real user and group
    gid_t gid = 0;
    std::string name;       // the command name
    std::string arguments;  // the argument vector, each argument followed by a NUL
};

// The state of process `pid`; nothing when it does not exist or cannot be
// read.
std::optional<ProcessState> processState(pid_t pid);
