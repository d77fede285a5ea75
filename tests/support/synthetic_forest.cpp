#include "support/synthetic_forest.h"

#include <algorithm>
#include <string>

kinfo_proc syntheticRecord(pid_t pid, pid_t ppid, std::string_view name, uid_t uid) {
    kinfo_proc record{};
    record.ki_pid = pid;
    record.ki_ppid = ppid;
    record.ki_ruid = uid;
    name.copy(record.ki_comm, std::min<std::size_t>(name.size(), sizeof record.ki_comm - 1));
    return record;
}

std::vector<kinfo_proc> chainShape(std::size_t depth, bool alternateUsers) {
    std::vector<kinfo_proc> records;
    records.reserve(depth + 1);
    records.push_back(syntheticRecord(1, 0, "init"));
    for (std::size_t i = 0; i < depth; ++i) {
        const auto pid = static_cast<pid_t>(i + 2);
        const uid_t uid = alternateUsers && pid % 2 == 1 ? otherUid : 0;
        records.push_back(syntheticRecord(pid, pid - 1, "c", uid));
    }
    return records;
}

std::vector<kinfo_proc> chainWithLeavesShape(std::size_t depth) {
    std::vector<kinfo_proc> records;
    records.reserve(2 * depth + 1);
    records.push_back(syntheticRecord(1, 0, "init"));
    const auto firstLeaf = static_cast<pid_t>(depth + 2);
    for (std::size_t i = 0; i < depth; ++i) {
        const auto pid = static_cast<pid_t>(i + 2);
        records.push_back(syntheticRecord(pid, pid - 1, "c"));
        records.push_back(
            syntheticRecord(firstLeaf + static_cast<pid_t>(i), pid, "leaf", otherUid));
    }
    return records;
}

std::vector<kinfo_proc> forestShape(std::size_t count) {
    std::vector<kinfo_proc> records;
    records.reserve(count);
    const auto absent = static_cast<pid_t>(count + 2);
    for (std::size_t i = 0; i < count; ++i)
        records.push_back(syntheticRecord(static_cast<pid_t>(i + 2), absent, "r"));
    return records;
}

std::vector<kinfo_proc> wideAlikeShape(std::size_t count) {
    std::vector<kinfo_proc> records;
    records.reserve(count + 1);
    records.push_back(syntheticRecord(1, 0, "init"));
    for (std::size_t i = 0; i < count; ++i)
        records.push_back(syntheticRecord(static_cast<pid_t>(i + 2), 1, "l"));
    return records;
}

std::vector<kinfo_proc> wideDifferentShape(std::size_t count) {
    std::vector<kinfo_proc> records;
    records.reserve(2 * count + 1);
    records.push_back(syntheticRecord(1, 0, "init"));
    const auto firstLeaf = static_cast<pid_t>(count + 2);
    for (std::size_t i = 0; i < count; ++i) {
        const auto pid = static_cast<pid_t>(i + 2);
        records.push_back(syntheticRecord(pid, 1, "s"));
        records.push_back(
            syntheticRecord(firstLeaf + static_cast<pid_t>(i), pid, "u" + std::to_string(i + 1)));
    }
    return records;
}

ProcessTable tableOf(const OptionFlags& flags, kvm_t* kvm, const std::vector<kinfo_proc>& records,
                     pid_t highlightPid) {
    ProcessTable table(flags, kvm, records.data(), static_cast<int>(records.size()));
    table.link();
    if ((flags & Flag::highlight) != 0) table.markHighlight(highlightPid);
    return table;
}
