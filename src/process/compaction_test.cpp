#include "process/compaction.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/proc_fixture.h"

namespace {

FakeProcess process(pid_t pid, pid_t ppid, const std::string& name, uid_t uid = 0) {
    return {.pid = pid, .ppid = ppid, .name = name, .uid = uid, .arguments = {name}};
}

TEST(CompactionTest, EmptyIndexIsCompactable) {
    ChildrenByName empty;
    EXPECT_TRUE(compact(empty));
    Compactor grouped(2);
    EXPECT_TRUE(grouped.compactTree(empty));
}

TEST(CompactorTest, LaterHeadsOfARunFoldedAtOnceStillDecideCompactable) {
    // Four siblings of one name in two classes of labels: the index is not
    // compactable, however the run is folded.
    ProcFixture proc;
    for (const FakeProcess& p :
         {process(1, 0, "init"), process(10, 1, "w", 65534), process(11, 1, "w", 65534),
          process(12, 1, "w"), process(13, 1, "w")})
        proc.add(p);
    const OptionFlags flags = Flag::pid | Flag::uidChanges;
    for (std::size_t runLength : {std::size_t{2}, SIZE_MAX}) {
        ProcessTable table = proc.snapshot(flags);
        Compactor compactor(runLength);
        EXPECT_FALSE(compactor.compactTree(table.find(1)->childrenByName))
            << "runs of " << runLength;
        EXPECT_EQ(table.find(10)->duplicates, 2u);
        EXPECT_EQ(table.find(11)->duplicates, 1u);
        EXPECT_EQ(table.find(12)->duplicates, 2u);
        EXPECT_EQ(table.find(13)->duplicates, 1u);
    }
}

}  // namespace
