// Parser for /proc/PID/status, the one per-process text with the real uid.
#pragma once

#include <string_view>

#include "platform/linux/command_name.h"
#include "platform/process_record.h"

// What one /proc/PID/status text gave.
struct StatusFields {
    bool hasName = false;
    bool hasParent = false;
    bool hasUid = false;
    bool hasKthread = false;  // the kernel wrote a "Kthread:" line
};

// Fills the pid-independent members of `record` (ppid, realUid, the kernel
// mark) and `name` from the text of /proc/PID/status. The name
// is decoded from the kernel's escapes ("\n" for a newline, "\\" for a
// backslash) and cut to longestName bytes. Parsing stops after the "Kthread:"
// line; the result tells which fields were found.
StatusFields parseStatus(std::string_view text, ProcessRecord& record, CommandName& name);

// True when `status` has every field a record needs; the kernel-thread mark
// may still have to come from /proc/PID/stat on kernels without "Kthread:".
bool isComplete(const StatusFields& status);
