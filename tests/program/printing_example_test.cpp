// The whole program on a small example tree that the suite spawns once:
// each option that changes what a line shows or how lines are drawn,
// printed byte for byte.
// ctest: one-process
#include "support/program/printing_example.h"

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
#include "support/program/process_tree.h"
#include "support/program/run_program.h"

namespace {

std::string withPid(const std::string& name, pid_t pid) {
    return name + "(" + std::to_string(pid) + ")";
}

std::string joinLines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// The children of init as blocks of lines, joined the way the printer
// joins the children of a node with a four-letter label.
std::string underInit(const std::vector<std::vector<std::string>>& blocks) {
    std::string text;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const bool last = i + 1 == blocks.size();
        for (std::size_t j = 0; j < blocks[i].size(); ++j) {
            if (j == 0)
                text += i == 0 ? (last ? "init---" : "init-+-") : (last ? "     `-" : "     |-");
            else
                text += last ? "       " : "     | ";
            text += blocks[i][j] + "\n";
        }
    }
    return text;
}

class PrintingExampleTest : public testing::Test {
  protected:
    static void SetUpTestSuite() { tree = std::make_unique<ProcessTree>(printingExample()); }
    static void TearDownTestSuite() { tree.reset(); }

    static pid_t pid(const std::string& key) { return tree->pid(key); }
    static std::string rootOption() { return pidOption(tree->topPid()); }

    static void expectOutput(const std::vector<std::string>& arguments, const std::string& expected,
                             const std::string& locale = "C") {
        std::vector<std::string> all = arguments;
        all.push_back(rootOption());
        ProgramResult result = runVindleInLocale(all, locale);
        EXPECT_EQ(result.out, expected) << "vindle with " << ::testing::PrintToString(arguments);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.status, 0);
    }

    static inline std::unique_ptr<ProcessTree> tree;
};

TEST_F(PrintingExampleTest, AsciiByName) {
    expectOutput({},
                 "init-+-cron\n"
                 "     |-3*[getty]\n"
                 "     |-sshd---sshd---sh-+-top\n"
                 "     |                  `-vi\n"
                 "     `-syslogd\n");
    // The same when asked for the ASCII set, and with the long form of --pid.
    expectOutput({"-A"},
                 "init-+-cron\n"
                 "     |-3*[getty]\n"
                 "     |-sshd---sshd---sh-+-top\n"
                 "     |                  `-vi\n"
                 "     `-syslogd\n");
}

TEST_F(PrintingExampleTest, UnicodeInAUtf8Locale) {
    expectOutput(
        {"-U"},
        "init\u2500\u252c\u2500cron\n"
        "     \u251c\u25003*[getty]\n"
        "     \u251c\u2500sshd\u2500\u2500\u2500sshd\u2500\u2500\u2500sh\u2500\u252c\u2500top\n"
        "     \u2502                  \u2514\u2500vi\n"
        "     \u2514\u2500syslogd\n",
        "C.UTF-8");
}

TEST_F(PrintingExampleTest, UnicodeWithoutAUtf8LocaleFallsBackToVt100) {
    const std::string out = runVindleInLocale({"-U", rootOption()}, "C").out;
    EXPECT_EQ(linesOf(out).front(), "init" + drawn("qwq") + "cron");
}

TEST_F(PrintingExampleTest, Vt100EscapesAroundEveryRunOfDrawing) {
    expectOutput({"-G"}, joinLines({
                             "init" + drawn("qwq") + "cron",
                             drawn("     tq") + "3*[getty]",
                             drawn("     tq") + "sshd" + drawn("qqq") + "sshd" + drawn("qqq") +
                                 "sh" + drawn("qwq") + "top",
                             drawn("     x " + std::string(14, ' ') + "   mq") + "vi",
                             drawn("     mq") + "syslogd",
                         }));
}

TEST_F(PrintingExampleTest, ArgumentsOnALineOfTheirOwnEach) {
    expectOutput({"-a"},
                 "init\n"
                 "  |-cron -s\n"
                 "  |-getty Pc ttyv0\n"
                 "  |-getty Pc ttyv1\n"
                 "  |-getty Pc ttyv2\n"
                 "  |-sshd\n"
                 "  |   `-sshd\n"
                 "  |       `-sh\n"
                 "  |           |-top\n"
                 "  |           `-vi notes.txt\n"
                 "  `-syslogd -s\n");
}

TEST_F(PrintingExampleTest, NumericSortFollowsTheRealPids) {
    // Blocks of init's children, ordered by their pids (a group by its head,
    // the lowest pid of the three).
    const bool viFirst = pid(std::string(printingExampleShell) + "/vi") <
                         pid(std::string(printingExampleShell) + "/top");
    const std::string firstChild = viFirst ? "vi" : "top";
    const std::string secondChild = viFirst ? "top" : "vi";
    const pid_t getty = std::min({pid("init/getty#1"), pid("init/getty#2"), pid("init/getty#3")});
    std::vector<std::pair<pid_t, std::vector<std::string>>> blocks = {
        {pid("init/cron"), {"cron"}},
        {getty, {"3*[getty]"}},
        {pid("init/sshd"),
         {"sshd---sshd---sh-+-" + firstChild, "                 `-" + secondChild}},
        {pid("init/syslogd"), {"syslogd"}},
    };
    std::sort(blocks.begin(), blocks.end());
    std::vector<std::vector<std::string>> ordered;
    for (auto& block : blocks) ordered.push_back(block.second);
    expectOutput({"-n"}, underInit(ordered));
}

TEST_F(PrintingExampleTest, PidsInEveryLabelAndNoFolding) {
    const std::string init = withPid("init", tree->topPid());
    const std::string pad(init.size() + 1, ' ');
    std::vector<pid_t> gettys = {pid("init/getty#1"), pid("init/getty#2"), pid("init/getty#3")};
    std::sort(gettys.begin(), gettys.end());  // equal names stand in pid order
    const std::string chain = pad + "|-" + withPid("sshd", pid("init/sshd")) + "---" +
                              withPid("sshd", pid("init/sshd/sshd")) + "---" +
                              withPid("sh", pid(printingExampleShell)) + "-+-";
    std::string expected = init + "-+-" + withPid("cron", pid("init/cron")) + "\n";
    for (pid_t getty : gettys) expected += pad + "|-" + withPid("getty", getty) + "\n";
    expected += chain + withPid("top", pid(std::string(printingExampleShell) + "/top")) + "\n";
    expected += pad + "|" + std::string(chain.size() - 3 - pad.size(), ' ') + "`-" +
                withPid("vi", pid(std::string(printingExampleShell) + "/vi")) + "\n";
    expected += pad + "`-" + withPid("syslogd", pid("init/syslogd")) + "\n";
    expectOutput({"-p"}, expected);
}

TEST_F(PrintingExampleTest, TitlesInsteadOfNames) {
    const std::string chain = "     |-sshd---sshd: alice [priv]----sh-+-";
    expectOutput({"-t"},
                 "init-+-cron\n"
                 "     |-3*[getty]\n" +
                     chain + "top\n" + "     |" + std::string(chain.size() - 8, ' ') + "`-vi\n" +
                     "     `-syslogd\n");
}

TEST_F(PrintingExampleTest, HighlightedProcessAndItsAncestorsInBold) {
    expectOutput(
        {"-H" + std::to_string(pid(std::string(printingExampleShell) + "/vi"))},
        joinLines({
            bold("init") + "-+-cron",
            "     |-3*[getty]",
            "     |-" + bold("sshd") + "---" + bold("sshd") + "---" + bold("sh") + "-+-top",
            "     |                  `-" + bold("vi"),
            "     `-syslogd",
        }));
}

TEST_F(PrintingExampleTest, HighlightOfAFoldedProcessPassesToTheHead) {
    expectOutput({"--highlight=" + std::to_string(pid("init/getty#3"))},
                 joinLines({
                     bold("init") + "-+-cron",
                     "     |-3*[" + bold("getty") + "]",
                     "     |-sshd---sshd---sh-+-top",
                     "     |                  `-vi",
                     "     `-syslogd",
                 }));
}

TEST_F(PrintingExampleTest, NoCompactShowsEveryProcess) {
    expectOutput({"-c"},
                 "init-+-cron\n"
                 "     |-getty\n"
                 "     |-getty\n"
                 "     |-getty\n"
                 "     |-sshd---sshd---sh-+-top\n"
                 "     |                  `-vi\n"
                 "     `-syslogd\n");
}

TEST_F(PrintingExampleTest, AnInnerProcessPrintsAsTheTopOfItsTree) {
    std::vector<std::string> arguments = {pidOption(pid("init/sshd/sshd"))};
    ProgramResult result = runVindleInLocale(arguments);
    EXPECT_EQ(result.out,
              "sshd---sh-+-top\n"
              "          `-vi\n");
    EXPECT_EQ(result.status, 0);
    // A positional number selects the same way; the last selection decides.
    EXPECT_EQ(
        runVindleInLocale({pidOption(tree->topPid()), std::to_string(pid("init/sshd/sshd"))}).out,
        result.out);
}

}  // namespace
