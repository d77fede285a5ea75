#include "platform/memory_records.h"

#include <algorithm>

// FreeBSD marks its kernel processes with P_KPROC (and P_SYSTEM), keeps the
// name in the record and the start as a struct timeval; `start` counts
// microseconds.
kinfo_proc memoryRecord(pid_t pid, pid_t ppid, std::string_view name, uid_t uid, bool kernel,
                        std::uint64_t start, std::deque<std::string>&) {
    kinfo_proc record{};
    record.ki_pid = pid;
    record.ki_ppid = ppid;
    record.ki_ruid = uid;
    record.ki_flag = kernel ? P_KPROC | P_SYSTEM : 0;
    const std::size_t length = std::min<std::size_t>(name.size(), COMMLEN);
    std::copy_n(name.data(), length, record.ki_comm);
    record.ki_comm[length] = '\0';
    record.ki_start.tv_sec = static_cast<time_t>(start / 1000000u);
    record.ki_start.tv_usec = static_cast<suseconds_t>(start % 1000000u);
    return record;
}
