// The run after the snapshot, in this process: root choice, compaction and
// printing through the real printForest into memory.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cli/option_flags.h"
#include "platform/argument_source.h"
#include "platform/memory_records.h"
#include "process/process_table.h"
#include "render/drawing_set.h"

// What the command line would have chosen, and the output set-up.
struct InProcessRun {
    OptionFlags flags = 0;
    pid_t rootPid = 0;  // with Flag::pid
    uid_t rootUid = 0;  // with Flag::user
    DrawingChoice drawing{asciiSet, false};
    std::uint64_t columns = 0;  // 0: no limit, as on a pipe
};

// Prints the forest of `table` (made with run.flags) as the program does and
// returns the output. Checks that the writer is left as a run leaves it:
// no level pushed and not popped, no line pending, no "]" owed.
// Argument vectors and titles are read from `vectors`.
std::string printInProcess(ProcessTable& table, ArgumentSource vectors, const InProcessRun& run);

// The same for a table of `processes` made in memory, with `highlightPid`
// marked when run.flags asks for it.
std::string printInProcess(const std::vector<MemoryProcess>& processes, const InProcessRun& run,
                           pid_t highlightPid = 0);
