// The steps of a run after option parsing.
#pragma once

#include <sys/types.h>

#include <memory>

#include "cli/options.h"
#include "cli/run_options.h"
#include "platform/argument_source.h"
#include "process/process_table.h"
#include "process/snapshot.h"
#include "render/line_writer.h"

// In user mode, the uid of the selected user; ends the process with status 1
// when the user does not exist or the lookup fails. 0 in other modes.
uid_t lookUpUser(const CommandLine& line);

// Closes a kernel-access handle.
struct KernelClose {
    void operator()(kvm_t* kvm) const { kvm_close(kvm); }
};

// An open kernel-access handle, closed when it goes.
using KernelHandle = std::unique_ptr<kvm_t, KernelClose>;

// The kernel's process table opened read-only, and a snapshot taken through
// it: either ends the process with status 1 and the kernel-access layer's
// message when it fails.
KernelHandle openKernelOrExit();
Snapshot snapshotOrExit(kvm_t* kvm, const TableOptions& options);

// The steps after the output set-up: chooses the roots of the selected mode
// (their names encoded in the locale the set-up left), folds unless told not
// to, and prints every tree in name or pid order. Labels are made from the
// root choice on; titles and arguments are read from `vectors` (the kernel's
// handle in a run).
void printForest(ProcessTable& table, LineWriter& writer, ArgumentSource vectors,
                 const RunOptions& options);
