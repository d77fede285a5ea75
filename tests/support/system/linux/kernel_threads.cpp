#include "support/system/kernel_threads.h"

#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr unsigned long kernelThreadFlag = 0x00200000;  // PF_KTHREAD

// Whether /proc/PID/stat names a kernel thread. The flags word is the ninth
// field, the seventh after the name, which ends at the last ')'.
bool statSaysKernelThread(const std::string& pid) {
    std::ifstream file("/proc/" + pid + "/stat");
    std::ostringstream text;
    text << file.rdbuf();
    const std::string stat = text.str();
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream fields(stat.substr(close + 1));
    std::string skipped;
    unsigned long flags = 0;
    for (int i = 0; i < 6; ++i) fields >> skipped;  // state, ppid, pgrp, session, tty, tpgid
    return static_cast<bool>(fields >> flags) && (flags & kernelThreadFlag) != 0;
}

}  // namespace

std::set<pid_t> kernelThreads() {
    std::set<pid_t> pids;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return pids;
    while (const dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0') continue;
        if (statSaysKernelThread(entry->d_name)) pids.insert(static_cast<pid_t>(pid));
    }
    closedir(proc);
    return pids;
}
