#include "support/unit/synthetic_forest.h"

#include <charconv>
#include <string>

namespace {

// init (pid 1) and `count` processes named `name` (pids 2 up), each a child
// of init or, `chained`, of the one before; each has one leaf child (pids
// count + 2 up) named leafName(i) and belonging to `leafUid`.
template <typename LeafName>
MemoryRecords withLeaves(std::size_t count, bool chained, std::string_view name, uid_t leafUid,
                         LeafName leafName) {
    MemoryRecords made;
    made.reserve(2 * count + 1);
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

MemoryRecords chainShape(std::size_t depth, bool alternateUsers) {
    MemoryRecords made;
    made.reserve(depth + 1);
    made.add(1, 0, "init");
    for (std::size_t i = 0; i < depth; ++i) {
        const auto pid = static_cast<pid_t>(i + 2);
        const uid_t uid = alternateUsers && pid % 2 == 1 ? otherUid : 0;
        made.add(pid, pid - 1, "c", uid);
    }
    return made;
}

MemoryRecords chainWithLeavesShape(std::size_t depth) {
    return withLeaves(depth, true, "c", otherUid, [](std::size_t) { return std::string("leaf"); });
}

MemoryRecords forestShape(std::size_t count) {
    MemoryRecords made;
    made.reserve(count);
    const auto absent = static_cast<pid_t>(count + 2);
    for (std::size_t i = 0; i < count; ++i) made.add(static_cast<pid_t>(i + 2), absent, "r");
    return made;
}

MemoryRecords wideAlikeShape(std::size_t count) {
    MemoryRecords made;
    made.reserve(count + 1);
    made.add(1, 0, "init");
    for (std::size_t i = 0; i < count; ++i) made.add(static_cast<pid_t>(i + 2), 1, "l");
    return made;
}

MemoryRecords wideDifferentShape(std::size_t count) {
    return withLeaves(count, false, "s", 0, [](std::size_t i) {
        char name[24] = "u";
        const auto end = std::to_chars(name + 1, name + sizeof name, i + 1).ptr;
        return std::string(name, end);
    });
}

ProcessTable tableOf(const MemoryRecords& records, const TableOptions& options) {
    return makeTable(records.reader(), options);
}
