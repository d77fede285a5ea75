// Parsers for the per-process text files of /proc that make up one record.
#pragma once

#include <string_view>

#include "platform/kvm.h"

// What one /proc/PID/status text gave.
struct StatusFields {
    bool hasName = false;
    bool hasParent = false;
    bool hasUid = false;
    bool hasKthread = false;  // the kernel wrote a "Kthread:" line
};

// Fills the pid-independent members of `record` (ki_ppid, ki_ruid, ki_comm,
// the P_SYSTEM mark of ki_flag) from the text of /proc/PID/status. The name
// is decoded from the kernel's escapes ("\n" for a newline, "\\" for a
// backslash) and cut to COMMLEN bytes. Parsing stops after the "Kthread:"
// line; the result tells which fields were found.
StatusFields parseStatus(std::string_view text, kinfo_proc& record);

// True when `status` has every field a record needs; the kernel-thread mark
// may still have to come from /proc/PID/stat on kernels without "Kthread:".
bool isComplete(const StatusFields& status);

// The flags field (the ninth) of a /proc/PID/stat text, or -1 when the text
// is malformed. The command name in parentheses may hold any byte, so the
// fields are counted from the last ')'.
long parseStatFlags(std::string_view text);

// The kernel's flag for a kernel thread in /proc/PID/stat.
constexpr long PF_KTHREAD = 0x00200000;
