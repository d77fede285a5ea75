#include "process/process_table.h"

#include <gtest/gtest.h>

#include "support/proc_fixture.h"

namespace {

TEST(ProcessTableTest, LinksChildrenBelowTheirParents) {
    ProcFixture proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init", .arguments = {"init"}});
    proc.add({.pid = 5, .ppid = 1, .name = "sh", .arguments = {"sh"}});
    OptionFlags flags = 0;
    ProcessTable table = proc.snapshot(flags);
    ASSERT_EQ(table.size(), 2u);
    ProcessNode* shell = table.find(5);
    ASSERT_NE(shell, nullptr);
    EXPECT_EQ(shell->parent, table.find(1));
}

}  // namespace
