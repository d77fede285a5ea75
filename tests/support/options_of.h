// The option values that a command line with a given option word gives
// each layer, for tests that describe a run by its flags.
#pragma once

#include <sys/types.h>

#include "cli/option_flags.h"
#include "cli/run_options.h"
#include "process/labeller.h"

// The options of a run with `flags`, `rootPid` for pid mode and `rootUid` for
// user mode, made by the program's own conversion.
RunOptions optionsOf(OptionFlags flags, pid_t rootPid = 0, uid_t rootUid = 0);

// A labeller for the labels of a run with `flags`, reading argument vectors
// through `kvm` (which may be null when none is asked for), as if the roots
// had been chosen in the mode of `flags`. Every node's root flag is taken as
// it stands.
Labeller labellerOf(OptionFlags flags, kvm_t* kvm);
