// The option values that a command line with a given option word gives
// each layer, for tests that describe a run by its flags.
#pragma once

#include <sys/types.h>

#include "cli/option_flags.h"
#include "cli/run_options.h"
#include "platform/memory_records.h"
#include "process/labeller.h"
#include "process/process_table.h"

// The options of a run with `flags`, `rootPid` for pid mode, `rootUid` for
// user mode and `highlightPid` for the highlight, made by the program's own
// conversion.
RunOptions optionsOf(OptionFlags flags, pid_t rootPid = 0, uid_t rootUid = 0,
                     pid_t highlightPid = 0);

// A labeller for the labels of a run with `flags`, reading argument vectors
// from `vectors` (none when none is asked for), as if the roots had been
// chosen in the mode of `flags`. Every node's root flag is taken as it
// stands.
Labeller labellerOf(OptionFlags flags, ArgumentSource vectors = {});

// The table of `records` as a run with `flags` makes it, with
// `highlightPid` marked when the flags ask for it. The names the records
// point at must outlive the table.
ProcessTable tableOf(OptionFlags flags, const MemoryRecords& records, pid_t highlightPid = 0);
