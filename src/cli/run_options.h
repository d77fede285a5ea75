// The command line turned into the option values of each layer.
#pragma once

#include <sys/types.h>

#include <optional>

#include "cli/options.h"
#include "process/label_options.h"
#include "process/root_choice.h"
#include "process/table_options.h"
#include "render/output_setup.h"

struct RunOptions {
    TableOptions table;
    LabelOptions labels;
    Selection selection;
    OutputOptions output;
    bool compact = true;  // fold identical sibling subtrees
};

// The options of a run of `line`; `userUid` is the uid of the selected user
// in user mode.
RunOptions runOptionsOf(const CommandLine& line, uid_t userUid);
