#include "platform/memory_records.h"

// The layer marks kernel threads with P_SYSTEM, keeps each name apart from
// its record and counts start times in clock ticks.
kinfo_proc memoryRecord(pid_t pid, pid_t ppid, std::string_view name, uid_t uid, bool kernel,
                        std::uint64_t start, std::deque<std::string>& names) {
    kinfo_proc record{};
    record.ki_pid = pid;
    record.ki_ppid = ppid;
    record.ki_ruid = uid;
    record.ki_flag = kernel ? P_SYSTEM : 0;
    record.ki_comm = names.emplace_back(name.substr(0, COMMLEN)).c_str();
    record.ki_start = start;
    return record;
}
