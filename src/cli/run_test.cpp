#include "cli/run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "process/user_names.h"
#include "support/in_process_run.h"
#include "support/options_of.h"

namespace {

// init (uid 0) with: zz (uid 7) -> bb (uid 8) -> cc (uid 7); dd (uid 0) ->
// aa (uid 7); and mm (uid 7), whose parent is not in the table.
const std::vector<MemoryProcess> usersForest = {
    process(1, 0, "init", 0),  process(10, 1, "zz", 7), process(11, 10, "bb", 8),
    process(12, 11, "cc", 7),  process(13, 1, "dd", 0), process(14, 13, "aa", 7),
    process(15, 999, "mm", 7),
};

struct RunCase {
    const char* title;
    OptionFlags flags;
    pid_t rootPid;
    uid_t rootUid;
    std::string output;
    std::vector<pid_t> roots;  // nodes whose root flag ends up set
};

void PrintTo(const RunCase& c, std::ostream* out) { *out << c.title; }

class RunCaseTest : public testing::TestWithParam<RunCase> {};

TEST_P(RunCaseTest, ChoosesRootsAndPrints) {
    const RunCase& c = GetParam();
    MemoryRecords proc(usersForest);
    const OptionFlags flags = c.flags;
    ProcessTable table = tableOf(flags, proc);
    EXPECT_EQ(printInProcess(table, proc.arguments(),
                             {.flags = flags, .rootPid = c.rootPid, .rootUid = c.rootUid}),
              c.output);
    for (ProcessNode& node : table) {
        const bool expected =
            std::find(c.roots.begin(), c.roots.end(), node.kinfo.ki_pid) != c.roots.end();
        EXPECT_EQ(node.root, expected) << "pid " << node.kinfo.ki_pid;
    }
}

const std::string lp = UserNames().nameOf(7);
const std::string mail = UserNames().nameOf(8);

const RunCase runCases[] = {
    // Any ancestor of the user's, not only the parent, keeps a process from
    // starting a tree; the roots never show their user.
    {"UserModeByName",
     Flag::user | Flag::uidChanges,
     0,
     7,
     "aa\nmm\nzz---bb(" + mail + ")---cc(" + lp + ")\n",
     {10, 14, 15}},
    {"UserModeByPid", Flag::user | Flag::numericSort, 0, 7, "zz---bb---cc\naa\nmm\n", {10, 14, 15}},
    {"UserWithoutProcesses", Flag::user, 0, 4242, "", {}},
    // Parentless roots other than uid 0 show their user.
    {"AllTrees",
     Flag::uidChanges,
     0,
     0,
     "init-+-dd---aa(" + lp + ")\n     `-zz(" + lp + ")---bb(" + mail + ")---cc(" + lp + ")\nmm(" +
         lp + ")\n",
     {1, 15}},
    // The selected process prints at the top but is no root: it shows its
    // user because its parent's differs.
    {"PidModeOnAChild",
     Flag::pid | Flag::uidChanges,
     11,
     0,
     "bb(" + mail + ")---cc(" + lp + ")\n",
     {}},
    {"PidModeWithoutSuchProcess", Flag::pid, 77, 0, "", {}},
    {"PidModeOnAProcessThatIsNotRetained", Flag::pid, 999, 0, "", {}},
};

INSTANTIATE_TEST_SUITE_P(Modes, RunCaseTest, testing::ValuesIn(runCases),
                         [](const testing::TestParamInfo<RunCase>& param) {
                             return param.param.title;
                         });

}  // namespace
