// The kernel's own processes on the running machine (Linux's kernel
// threads), read on the tests' own terms, to check what vindle shows of
// them.
#pragma once

#include <sys/types.h>

#include <set>

// The pids of the processes the kernel marks as its own now. Empty when they
// cannot be read.
std::set<pid_t> kernelThreads();
