// The kernel threads of the running machine, read from /proc on the tests'
// own terms, to check what vindle shows of them.
#pragma once

#include <sys/types.h>

#include <set>

// The pids of the kernel threads now: the processes whose flags word in
// /proc/PID/stat carries PF_KTHREAD. Empty when /proc cannot be read.
std::set<pid_t> kernelThreads();
