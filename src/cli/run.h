// The steps of a run after option parsing.
#pragma once

#include <sys/types.h>

#include <memory>

#include "cli/options.h"
#include "cli/run_options.h"
#include "platform/argument_source.h"
#include "process/process_table.h"
#include "render/line_writer.h"

// In user mode, the uid of the selected user; throws a Failure when the user
// does not exist or the lookup fails. 0 in other modes.
uid_t lookUpUser(const CommandLine& line);

// The steps after the output set-up: chooses the roots of the selected mode
// (their names encoded in the locale the set-up left), folds unless told not
// to, and prints every tree in name or pid order. Labels are made from the
// root choice on; titles and arguments are read from `vectors` (the
// system's process table in a run).
void printForest(ProcessTable& table, LineWriter& writer, ArgumentSource vectors,
                 const RunOptions& options);
