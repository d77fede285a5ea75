// Taking the kernel's process table: opening the kernel-access layer and
// reading every record, each step answering with its result or with the
// layer's message.
#pragma once

#include <span>

#include "platform/kvm.h"
#include "process/outcome.h"
#include "process/table_options.h"

// The records of every process, owned by the handle they were read through:
// they stay valid as long as it is open.
using Snapshot = std::span<const kinfo_proc>;

// Opens the kernel's process table read-only.
Outcome<kvm_t*> openKernel();

// Reads every record through `kvm`, with the members that `options` needs.
Outcome<Snapshot> takeSnapshot(kvm_t* kvm, const TableOptions& options);
