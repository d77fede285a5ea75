#include "support/synthetic_forest.h"

#include <charconv>
#include <string>

#include "support/options_of.h"

void SyntheticRecords::add(pid_t pid, pid_t ppid, std::string_view name, uid_t uid, int flag) {
    kinfo_proc record{};
    record.ki_pid = pid;
    record.ki_ppid = ppid;
    record.ki_ruid = uid;
    record.ki_flag = flag;
    record.ki_comm = names.keep(name.substr(0, COMMLEN));
    records.push_back(record);
}

namespace {

// init (pid 1) and `count` processes named `name` (pids 2 up), each a child
// of init or, `chained`, of the one before; each has one leaf child (pids
// count + 2 up) named leafName(i) and belonging to `leafUid`.
template <typename LeafName>
SyntheticRecords withLeaves(std::size_t count, bool chained, std::string_view name, uid_t leafUid,
                            LeafName leafName) {
    SyntheticRecords made;
    made.records.reserve(2 * count + 1);
    made.add(1, 0, "init");
    const auto firstLeaf = static_cast<pid_t>(count + 2);
    for (std::size_t i = 0; i < count; ++i) {
        const auto pid = static_cast<pid_t>(i + 2);
        made.add(pid, chained ? pid - 1 : 1, name);
        made.add(firstLeaf + static_cast<pid_t>(i), pid, leafName(i), leafUid);
    }
    return made;
}

}  // namespace

SyntheticRecords chainShape(std::size_t depth, bool alternateUsers) {
    SyntheticRecords made;
    made.records.reserve(depth + 1);
    made.add(1, 0, "init");
    for (std::size_t i = 0; i < depth; ++i) {
        const auto pid = static_cast<pid_t>(i + 2);
        const uid_t uid = alternateUsers && pid % 2 == 1 ? otherUid : 0;
        made.add(pid, pid - 1, "c", uid);
    }
    return made;
}

SyntheticRecords chainWithLeavesShape(std::size_t depth) {
    return withLeaves(depth, true, "c", otherUid, [](std::size_t) { return std::string("leaf"); });
}

SyntheticRecords forestShape(std::size_t count) {
    SyntheticRecords made;
    made.records.reserve(count);
    const auto absent = static_cast<pid_t>(count + 2);
    for (std::size_t i = 0; i < count; ++i) made.add(static_cast<pid_t>(i + 2), absent, "r");
    return made;
}

SyntheticRecords wideAlikeShape(std::size_t count) {
    SyntheticRecords made;
    made.records.reserve(count + 1);
    made.add(1, 0, "init");
    for (std::size_t i = 0; i < count; ++i) made.add(static_cast<pid_t>(i + 2), 1, "l");
    return made;
}

SyntheticRecords wideDifferentShape(std::size_t count) {
    return withLeaves(count, false, "s", 0, [](std::size_t i) {
        char name[24] = "u";
        const auto end = std::to_chars(name + 1, name + sizeof name, i + 1).ptr;
        return std::string(name, end);
    });
}

ProcessTable tableOf(OptionFlags flags, const std::vector<kinfo_proc>& records,
                     pid_t highlightPid) {
    Snapshot copied;
    copied.records = records;  // the names stay where the caller keeps them
    return tableOf(flags, std::move(copied), highlightPid);
}

ProcessTable tableOf(OptionFlags flags, Snapshot records, pid_t highlightPid) {
    const RunOptions options = optionsOf(flags);
    ProcessTable table = buildForest(std::move(records), options.table);
    if (options.highlightPid) table.markHighlight(highlightPid);
    return table;
}
