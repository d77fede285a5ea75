#include "support/system/kernel_threads.h"

#include <sys/param.h>
#include <sys/proc.h>
#include <sys/sysctl.h>
#include <sys/user.h>

#include <cstddef>
#include <vector>

// The kernel marks its own processes with P_KPROC in the record that
// kern.proc.proc lists for every process.
std::set<pid_t> kernelThreads() {
    std::set<pid_t> pids;
    int name[] = {CTL_KERN, KERN_PROC, KERN_PROC_PROC, 0};
    std::vector<kinfo_proc> records;
    std::size_t size = 0;
    // The table may grow between asking its size and reading it.
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (sysctl(name, 3, nullptr, &size, nullptr, 0) != 0) return pids;
        records.resize(size / sizeof(kinfo_proc) + 16);
        size = records.size() * sizeof(kinfo_proc);
        if (sysctl(name, 3, records.data(), &size, nullptr, 0) == 0) break;
        size = 0;
    }
    for (std::size_t i = 0; i < size / sizeof(kinfo_proc); ++i)
        if ((records[i].ki_flag & P_KPROC) != 0) pids.insert(records[i].ki_pid);
    return pids;
}
