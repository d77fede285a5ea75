// Taking the kernel's process table: opening the kernel-access layer and
// reading every record, each step answering with its result or with the
// layer's message.
#pragma once

#include "platform/kvm.h"
#include "platform/kvm_fields.h"
#include "process/outcome.h"
#include "process/table_options.h"

// The records of every process (with their names), taken out of the handle
// they were read through: they live as long as the snapshot, or the table
// that it is moved into, whatever becomes of the handle.
using Snapshot = RecordSet;

// Opens the kernel's process table read-only.
Outcome<kvm_t*> openKernel();

// Reads every record through `kvm`, with the members that `options` needs,
// and takes them from it.
Outcome<Snapshot> takeSnapshot(kvm_t* kvm, const TableOptions& options);
