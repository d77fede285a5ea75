#include "platform/memory_records.h"

#include <utility>

MemoryProcess process(pid_t pid, pid_t ppid, const std::string& name, uid_t uid) {
    return {.pid = pid, .ppid = ppid, .name = name, .uid = uid, .arguments = {name}};
}

MemoryProcess process(pid_t pid, pid_t ppid, const std::string& name,
                      std::vector<std::string> arguments) {
    return {.pid = pid, .ppid = ppid, .name = name, .arguments = std::move(arguments)};
}

void ArgumentTable::set(pid_t pid, std::vector<std::string> arguments, bool cut) {
    vectors[pid] = {.arguments = std::move(arguments), .cut = cut};
}

ArgumentVector ArgumentTable::vectorOf(pid_t pid) {
    const auto found = vectors.find(pid);
    if (found == vectors.end() || found->second.arguments.empty()) return {};
    lastArguments = found->second.arguments;
    lastVector.clear();
    for (std::string& argument : lastArguments) lastVector.push_back(argument.data());
    lastVector.push_back(nullptr);
    return {.words = lastVector.data(), .cut = found->second.cut};
}

MemoryRecords::MemoryRecords(const std::vector<MemoryProcess>& processes) {
    kept.reserve(processes.size());
    for (const MemoryProcess& process : processes) add(process);
}

void MemoryRecords::add(const MemoryProcess& process) {
    kept.push_back({.pid = process.pid,
                    .ppid = process.ppid,
                    .realUid = process.uid,
                    .kernel = process.kernel,
                    .name = names.keep(process.name),
                    .start = process.start});
    if (!process.arguments.empty())
        vectors.set(process.pid, process.arguments, process.argumentsCut);
}

void MemoryRecords::add(pid_t pid, pid_t ppid, std::string_view name, uid_t uid) {
    kept.push_back({.pid = pid, .ppid = ppid, .realUid = uid, .name = names.keep(name)});
}

void MemoryRecords::setArguments(pid_t pid, std::vector<std::string> arguments, bool cut) {
    vectors.set(pid, std::move(arguments), cut);
}
