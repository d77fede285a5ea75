// The texts that the kernel writes into /proc for a process described in
// memory, for the fixture directories of tests and the parsers' fuzz
// target. Built into the tests alone, never into the program.
#pragma once

#include <string>

#include "platform/memory_records.h"

// /proc/PID/status, with the name in the kernel's escapes and, when
// `withKthreadLine`, the "Kthread:" line of current kernels.
std::string statusText(const MemoryProcess& process, bool withKthreadLine = true);

// /proc/PID/stat; its flags field holds PF_KTHREAD for a kernel process.
std::string statText(const MemoryProcess& process);

// /proc/PID/cmdline: the arguments, each ended by a NUL.
std::string cmdlineText(const MemoryProcess& process);
