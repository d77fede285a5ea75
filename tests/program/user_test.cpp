// Users on real trees: where -u shows the user, and user mode, which starts
// a tree at each topmost process of the user.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "support/escapes.h"
#include "support/folding_examples.h"
#include "support/lines.h"
#include "support/program/printing_example.h"
#include "support/program/process_tree.h"
#include "support/program/run_program.h"

namespace {

std::string userName(uid_t uid) {
    const passwd* entry = getpwuid(uid);
    return entry != nullptr ? entry->pw_name : std::to_string(uid);
}

// The lines of the tree whose top line starts with `top` in column 0:
// that line and the indented ones that follow it.
std::string treeStartingWith(const std::string& output, const std::string& top) {
    std::string tree;
    bool inside = false;
    for (const std::string& line : linesOf(output)) {
        const bool starts = !line.empty() && line[0] != ' ';
        if (starts) inside = line.compare(0, top.size(), top) == 0;
        if (inside) tree += line + "\n";
    }
    return tree;
}

// Users: these need root to give processes other user ids.
class UserTest : public testing::Test {
  protected:
    void SetUp() override {
        if (!ProcessTree::canSwitchUsers())
            GTEST_SKIP() << "giving processes other users needs root";
    }
};

TEST_F(UserTest, UidChangesShowTheUserWhereItChanges) {
    // sh and its children run as nobody; in pid mode the top shows its user
    // only when it differs from its (unprinted) parent's.
    ProcessPlan plan = printingExample();
    plan.at(printingExampleShell).uid = 65534;
    ProcessTree tree(plan);
    const std::string nobody = userName(65534);
    const std::string chain = "     |-sshd---sshd---sh(" + nobody + ")-+-";
    ProgramResult result = runVindleInLocale({"-u", pidOption(tree.topPid())});
    EXPECT_EQ(result.out,
              "init-+-cron\n"
              "     |-3*[getty]\n" +
                  chain + "top\n" + "     |" + std::string(chain.size() - 8, ' ') + "`-vi\n" +
                  "     `-syslogd\n");

    ProcessTree other(
        ProcessPlan{.name = "init", .uid = 65534, .children = {{.name = "sshd", .uid = 0}}});
    EXPECT_EQ(runVindleInLocale({"-u", pidOption(other.topPid())}).out,
              "init(" + nobody + ")---sshd(" + userName(0) + ")\n");
}

TEST_F(UserTest, UserModeStartsATreeAtEachTopmostProcessOfTheUser) {
    // Unique names, since the user's other processes on the machine print too.
    const std::string tag = std::to_string(getpid() % 100000);
    const std::string top = "zqa" + tag, other = "zqb" + tag, below = "zqc" + tag,
                      second = "zqd" + tag;
    ProcessPlan plan{
        .name = "init",
        .children = {
            {.name = top,
             .uid = 65534,
             .children = {{.name = other, .uid = 1, .children = {{.name = below, .uid = 65534}}}}},
            {.name = "sh", .children = {{.name = second, .uid = 65534}}}}};
    ProcessTree tree(plan);
    const std::string nobody = userName(65534);
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"--user=" + nobody}, {nobody}, {"--pid=1", nobody}}) {
        ProgramResult result = runVindleInLocale(arguments);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(treeStartingWith(result.out, top), top + "---" + other + "---" + below + "\n");
        EXPECT_EQ(treeStartingWith(result.out, second), second + "\n");
        // The process below another user's starts no tree of its own.
        EXPECT_EQ(treeStartingWith(result.out, below), "");
    }
    // The roots of user mode never show their user; the rest where it changes.
    ProgramResult decorated = runVindleInLocale({"-u", "--user=" + nobody});
    EXPECT_EQ(treeStartingWith(decorated.out, top),
              top + "---" + other + "(" + userName(1) + ")---" + below + "(" + nobody + ")\n");
}

}  // namespace
