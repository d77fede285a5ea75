#include "process/root_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/unit/synthetic_forest.h"

namespace {

// init (uid 0) with: zz (uid 7) -> bb (uid 8) -> cc (uid 7); dd (uid 0) ->
// aa (uid 7); and mm (uid 7) and zz (uid 0), whose parent is not in the
// table.
MemoryRecords forestOfUsers() {
    MemoryRecords made;
    made.add(1, 0, "init", 0);
    made.add(10, 1, "zz", 7);
    made.add(11, 10, "bb", 8);
    made.add(12, 11, "cc", 7);
    made.add(13, 1, "dd", 0);
    made.add(14, 13, "aa", 7);
    made.add(16, 999, "zz", 0);
    made.add(15, 999, "mm", 7);
    return made;
}

std::vector<pid_t> pidsOf(const RootSet& roots) {
    std::vector<pid_t> pids;
    for (const ProcessNode* node : roots) pids.push_back(node->record.pid);
    return pids;
}

std::vector<pid_t> flaggedRoots(ProcessTable& table) {
    std::vector<pid_t> pids;
    for (ProcessNode& node : table)
        if (node.root) pids.push_back(node.record.pid);
    return pids;
}

TEST(RootChoiceTest, EachModeChoosesItsRootsInNameOrder) {
    struct Case {
        const char* mode;
        Selection selection;
        std::vector<pid_t> byName;   // the roots, in name order
        std::vector<pid_t> flagged;  // every node with the root flag, in pid order
        pid_t selected;              // 0: none
    };
    const Case cases[] = {
        {"all trees", {}, {1, 15, 16}, {1, 15, 16}, 0},
        // Any ancestor of the user's, not only the parent, keeps a process
        // from being a root.
        {"user", {.mode = Selection::Mode::user, .uid = 7}, {14, 15, 10}, {10, 14, 15}, 0},
        {"user without processes", {.mode = Selection::Mode::user, .uid = 4242}, {}, {}, 0},
        {"pid", {.mode = Selection::Mode::pid, .pid = 11}, {}, {}, 11},
        {"pid not in the table", {.mode = Selection::Mode::pid, .pid = 999}, {}, {}, 0},
    };
    const MemoryRecords made = forestOfUsers();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        ProcessTable table = tableOf(made, {.realUid = true});
        Roots roots = chooseRoots(table, c.selection);
        EXPECT_EQ(pidsOf(roots.byName), c.byName);
        EXPECT_EQ(flaggedRoots(table), c.flagged);
        EXPECT_EQ(roots.selected, c.selected != 0 ? table.find(c.selected) : nullptr);
        // Every root carries its name, its key in the index.
        for (const ProcessNode* root : roots.byName)
            EXPECT_EQ(root->nameCache.view(), std::string(root->record.name));
    }
}

}  // namespace
