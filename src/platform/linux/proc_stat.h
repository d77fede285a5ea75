// Parser for /proc/PID/stat, the cheapest per-process text that names a
// process, its parent and whether it is a kernel thread.
#pragma once

#include <string_view>

#include "platform/linux/command_name.h"
#include "platform/linux/start_time_bound.h"
#include "platform/process_record.h"

// The kernel's flag for a kernel thread in the flags field of the text.
constexpr unsigned long PF_KTHREAD = 0x00200000;

// Fills ppid, the kernel mark, start and `name` of a record from the
// text of /proc/PID/stat ("pid (name) state ppid pgrp session tty tpgid flags
// ... starttime ..."). A text that ends before the start time, or holds no
// number there, or one that `bound` does not admit, leaves it unknown (0).
// The name is raw there, without escapes: it runs from the first '(' to the
// last ')', whatever it holds (parentheses, blanks, newlines), and is cut to
// longestName bytes. False, with the record left unusable, when the text is
// malformed or ends before the flags.
bool parseStat(std::string_view text, ProcessRecord& record, CommandName& name,
               StartTimeBound& bound);

// parseStat without a bound: the start time is taken as it is.
bool parseStat(std::string_view text, ProcessRecord& record, CommandName& name);
