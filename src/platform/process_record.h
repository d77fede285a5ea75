// One process as the system's process table gives it: what the program
// reads of it, the same on every system.
#pragma once

#include <sys/types.h>

#include <cstdint>

struct ProcessRecord {
    pid_t pid = 0;
    pid_t ppid = 0;
    // The real user id. Read only when the run asks for it (RecordNeeds);
    // 0 otherwise.
    uid_t realUid = 0;
    // One of the kernel's own processes, which a run hides unless asked to
    // show them: FreeBSD's kernel processes, Linux's kernel threads.
    bool kernel = false;
    // The command name, raw and NUL-terminated, kept by the snapshot's
    // NameStore.
    const char* name = "";
    // When the process started, in the system's own units (clock ticks after
    // boot on Linux, microseconds of the system's clock on FreeBSD), only
    // ever compared with another record's; 0 where unknown.
    std::uint64_t start = 0;
};
