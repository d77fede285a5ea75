#include "platform/memory_records.h"

#include <utility>

MemoryProcess process(pid_t pid, pid_t ppid, const std::string& name, uid_t uid) {
    return {.pid = pid, .ppid = ppid, .name = name, .uid = uid, .arguments = {name}};
}

MemoryProcess process(pid_t pid, pid_t ppid, const std::string& name,
                      std::vector<std::string> arguments) {
    return {.pid = pid, .ppid = ppid, .name = name, .arguments = std::move(arguments)};
}

MemoryRecords::MemoryRecords(const std::vector<MemoryProcess>& processes) {
    kept.reserve(processes.size());
    for (const MemoryProcess& process : processes) add(process);
}

void MemoryRecords::add(const MemoryProcess& process) {
    kept.push_back(memoryRecord(process.pid, process.ppid, process.name, process.uid,
                                process.kernel, process.start, names));
    if (!process.arguments.empty())
        vectors.set(process.pid, process.arguments, process.argumentsCut);
}

void MemoryRecords::add(pid_t pid, pid_t ppid, std::string_view name, uid_t uid) {
    kept.push_back(memoryRecord(pid, ppid, name, uid, false, 0, names));
}

void MemoryRecords::setArguments(pid_t pid, std::vector<std::string> arguments, bool cut) {
    vectors.set(pid, std::move(arguments), cut);
}
