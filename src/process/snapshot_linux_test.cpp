// The snapshot step over the Linux layer, opened on fixture directories laid
// out like /proc: what the layer reads for the options of a run, and the
// table built from it.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "platform/linux/proc_handle.h"
#include "process/process_table.h"
#include "support/proc_fixture.h"

namespace {

// The table of a read of `proc` made as a run with `options` makes it.
ProcessTable snapshotTable(ProcFixture& proc, const TableOptions& options) {
    SourceHandle& source = proc.open();
    return makeTable([&](const RecordNeeds& needs) { return readProcesses(source, needs); },
                     options);
}

std::map<pid_t, pid_t> parentsIn(ProcessTable& table) {
    std::map<pid_t, pid_t> result;
    for (ProcessNode& node : table)
        result[node.record.pid] = node.parent ? node.parent->record.pid : 0;
    return result;
}

TEST(ProcessTableTest, HighlightThroughTheSnapshotStep) {
    ProcFixture proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init"});
    proc.add({.pid = 10, .ppid = 1, .name = "a"});
    proc.add({.pid = 11, .ppid = 10, .name = "b"});
    proc.add({.pid = 12, .ppid = 10, .name = "c"});
    ProcessTable table = snapshotTable(proc, {.highlightPid = 11});
    std::set<pid_t> marked;
    for (ProcessNode& node : table)
        if (node.highlight) marked.insert(node.record.pid);
    EXPECT_EQ(marked, (std::set<pid_t>{1, 10, 11}));
}

// The start times come from stat; the user's id from status, which has no
// start time: with it every link is taken at its word.
TEST(ProcessTableTest, StartTimesGuardTheLinksOnlyWithoutTheUid) {
    ProcFixture proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init", .start = 5});
    proc.add({.pid = 20, .ppid = 1, .name = "newcomer", .start = 9000});
    proc.add({.pid = 21, .ppid = 20, .name = "orphan", .start = 500});
    proc.add({.pid = 22, .ppid = 21, .name = "grandchild", .start = 501});
    proc.add({.pid = 30, .ppid = 1, .name = "parent", .start = 700});
    proc.add({.pid = 31, .ppid = 30, .name = "same tick", .start = 700});
    const std::map<pid_t, pid_t> linked = {{1, 0}, {20, 1}, {21, 0}, {22, 21}, {30, 1}, {31, 30}};

    ProcessTable table = snapshotTable(proc, {});
    EXPECT_EQ(parentsIn(table), linked);

    ProcessTable unguarded = snapshotTable(proc, {.realUid = true});
    std::map<pid_t, pid_t> unchecked = linked;
    unchecked[21] = 20;
    EXPECT_EQ(parentsIn(unguarded), unchecked);
}

// Only a run that needs the real uid has the layer read status, which a
// process whose status is gone is left out by; every other run is served by
// the cheaper stat without it.
TEST(ProcessTableTest, TheSnapshotReadsTheUidOnlyWhenTheRunNeedsIt) {
    ProcFixture proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init", .uid = 0});
    proc.add({.pid = 2, .ppid = 1, .name = "user", .uid = 1000});
    proc.add({.pid = 3, .ppid = 1, .name = "statonly", .uid = 1000});
    std::filesystem::remove(proc.root() + "/3/status");
    for (bool realUid : {false, true}) {
        SCOPED_TRACE(realUid ? "with the uid" : "without the uid");
        ProcessTable table = snapshotTable(proc, {.realUid = realUid});
        ASSERT_NE(table.find(2), nullptr);
        EXPECT_EQ(table.find(3) == nullptr, realUid);
        EXPECT_EQ(table.find(2)->record.realUid, realUid ? 1000u : 0u);
    }
}

}  // namespace
