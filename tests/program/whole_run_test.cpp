// The whole program on real process trees that the tests spawn: every run
// mode, folding and printing byte for byte on small example trees, and the
// options that change what a line shows.
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

// Runs vindle with its output to a pipe, in the given locale.
ProgramResult vindle(const std::vector<std::string>& arguments, const std::string& locale = "C") {
    ProgramOptions options;
    options.replaceEnvironment = true;
    options.environment = {"PATH=/usr/bin:/bin", "LC_ALL=" + locale};
    return runVindle(arguments, options);
}

std::string pidOption(pid_t pid) { return "--pid=" + std::to_string(pid); }

std::string withPid(const std::string& name, pid_t pid) {
    return name + "(" + std::to_string(pid) + ")";
}

std::string userName(uid_t uid) {
    const passwd* entry = getpwuid(uid);
    return entry != nullptr ? entry->pw_name : std::to_string(uid);
}

std::string joinLines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
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

// Every process tree here runs under a top process named init, selected
// with --pid, so the rest of the machine stays out of the output.

// The tree of the printing examples: init with cron, three gettys, a chain
// of two sshds to a shell with vi and top, and syslogd. The inner sshd has
// rewritten its title, as sshd does; its command name stays "sshd".
ProcessPlan printingExample() {
    return {
        .name = "init",
        .children = {
            {.name = "cron", .argv = {"cron", "-s"}},
            {.name = "getty", .argv = {"getty", "Pc", "ttyv0"}},
            {.name = "getty", .argv = {"getty", "Pc", "ttyv1"}},
            {.name = "getty", .argv = {"getty", "Pc", "ttyv2"}},
            {.name = "sshd",
             .children = {{.name = "sshd",
                           .argv = {"/usr/sbin/sshd", "-D", "-R"},
                           .title = "sshd: alice [priv]",
                           .children = {{.name = "sh",
                                         .argv = {"-sh"},
                                         .children = {{.name = "vi", .argv = {"vi", "notes.txt"}},
                                                      {.name = "top"}}}}}}},
            {.name = "syslogd", .argv = {"syslogd", "-s"}},
        }};
}

const char* const shPath = "init/sshd/sshd/sh";

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
        ProgramResult result = vindle(all, locale);
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
    const std::string out = vindle({"-U", rootOption()}, "C").out;
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
    const bool viFirst = pid(std::string(shPath) + "/vi") < pid(std::string(shPath) + "/top");
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
                              withPid("sh", pid(shPath)) + "-+-";
    std::string expected = init + "-+-" + withPid("cron", pid("init/cron")) + "\n";
    for (pid_t getty : gettys) expected += pad + "|-" + withPid("getty", getty) + "\n";
    expected += chain + withPid("top", pid(std::string(shPath) + "/top")) + "\n";
    expected += pad + "|" + std::string(chain.size() - 3 - pad.size(), ' ') + "`-" +
                withPid("vi", pid(std::string(shPath) + "/vi")) + "\n";
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
        {"-H" + std::to_string(pid(std::string(shPath) + "/vi"))},
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
    ProgramResult result = vindle(arguments);
    EXPECT_EQ(result.out,
              "sshd---sh-+-top\n"
              "          `-vi\n");
    EXPECT_EQ(result.status, 0);
    // A positional number selects the same way; the last selection decides.
    EXPECT_EQ(vindle({pidOption(tree->topPid()), std::to_string(pid("init/sshd/sshd"))}).out,
              result.out);
}

// The folding examples, each a tree of its own, printed by the
// program with --pid of its top.
class FoldingExampleTest : public testing::TestWithParam<FoldingExample> {};

TEST_P(FoldingExampleTest, PrintsAsDescribed) {
    const FoldingExample& example = GetParam();
    if (!example.users.empty() && !ProcessTree::canSwitchUsers())
        GTEST_SKIP() << "giving processes other users needs root";
    ProcessTree tree(planOf(example));
    std::vector<std::string> arguments{pidOption(tree.topPid())};
    if (example.showTitles) arguments.push_back("-t");
    if (example.userChanges) arguments.push_back("-u");
    if (example.highlighted != nullptr)
        arguments.push_back("-H" + std::to_string(tree.pid(example.highlighted)));
    ProgramResult result = vindle(arguments);
    EXPECT_EQ(result.out, example.output);
    EXPECT_EQ(result.status, 0);
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, FoldingExampleTest, testing::ValuesIn(foldingExamples()),
                         [](const testing::TestParamInfo<FoldingExample>& param) {
                             return param.param.title;
                         });

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
    plan.at(shPath).uid = 65534;
    ProcessTree tree(plan);
    const std::string nobody = userName(65534);
    const std::string chain = "     |-sshd---sshd---sh(" + nobody + ")-+-";
    ProgramResult result = vindle({"-u", pidOption(tree.topPid())});
    EXPECT_EQ(result.out,
              "init-+-cron\n"
              "     |-3*[getty]\n" +
                  chain + "top\n" + "     |" + std::string(chain.size() - 8, ' ') + "`-vi\n" +
                  "     `-syslogd\n");

    ProcessTree other(
        ProcessPlan{.name = "init", .uid = 65534, .children = {{.name = "sshd", .uid = 0}}});
    EXPECT_EQ(vindle({"-u", pidOption(other.topPid())}).out,
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
        ProgramResult result = vindle(arguments);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(treeStartingWith(result.out, top), top + "---" + other + "---" + below + "\n");
        EXPECT_EQ(treeStartingWith(result.out, second), second + "\n");
        // The process below another user's starts no tree of its own.
        EXPECT_EQ(treeStartingWith(result.out, below), "");
    }
    // The roots of user mode never show their user; the rest where it changes.
    ProgramResult decorated = vindle({"-u", "--user=" + nobody});
    EXPECT_EQ(treeStartingWith(decorated.out, top),
              top + "---" + other + "(" + userName(1) + ")---" + below + "(" + nobody + ")\n");
}

TEST(RunFailureTest, UnknownUserIsReportedAndPrintsNothing) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"--user=no_such_vindle_user"},
                                               {"no_such_vindle_user"},
                                               {"-a", "--user=no_such_vindle_user"}}) {
        ProgramResult result = vindle(arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "vindle: Unknown user: \"no_such_vindle_user\"\n");
    }
}

// A user name that carries escape sequences, an 8-bit CSI and an invalid
// byte is quoted as names are shown in the POSIX locale, whatever the
// environment's locale: no byte of it reaches the terminal raw.
TEST(RunFailureTest, UnknownUserIsQuotedEncoded) {
    for (const char* locale : {"C", "C.UTF-8"}) {
        SCOPED_TRACE(locale);
        ProgramResult result = runVindle(
            {"\x1b[2J\x9bx\xff", "-U"},
            {.environment = {std::string("LC_ALL=") + locale}, .replaceEnvironment = true});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "vindle: Unknown user: \"^[[2JM^[xM^?\"\n");
    }
}

// The pid of a process that has ended and been reaped.
pid_t endedPid() {
    ProcessTree tree("init");
    return tree.topPid();
}

bool isFree(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

TEST(RunFailureTest, APidThatDoesNotExistPrintsNothing) {
    using Arguments = std::vector<std::string>;
    const std::vector<Arguments (*)(pid_t)> forms{
        [](pid_t gone) { return Arguments{pidOption(gone)}; },
        [](pid_t) { return Arguments{"--pid=2147483647"}; },
        [](pid_t gone) {
            return Arguments{"-a", "-n", std::to_string(gone)};
        }};
    for (const auto form : forms) {
        // The kernel may give an ended pid to a new process at any time: a
        // run counts when the pid was free before and after it.
        Arguments arguments;
        ProgramResult result;
        bool counted = false;
        for (int attempt = 0; attempt < 10 && !counted; ++attempt) {
            const pid_t gone = endedPid();
            if (!isFree(gone)) continue;
            arguments = form(gone);
            result = vindle(arguments);
            counted = isFree(gone);
        }
        ASSERT_TRUE(counted) << "every ended pid was taken again at once";
        SCOPED_TRACE(testing::PrintToString(arguments));
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "");
    }
}

TEST(LocaleOrderTest, NamesOfLinkedProcessesAreEncodedBeforeTheLocaleChanges) {
    // A UTF-8 name: encoded while linking, in the locale the program starts
    // in, it is escaped; as a title, encoded after -U took the environment's
    // UTF-8 locale, it stays as it is.
    const std::string cafe = "caf\xc3\xa9";
    ProcessTree tree(ProcessPlan{.name = "init", .children = {{.name = cafe}}});
    const std::string top = pidOption(tree.topPid());
    EXPECT_EQ(vindle({"-U", top}, "C.UTF-8").out, "init\u2500\u2500\u2500cafM-CM-)\n");
    EXPECT_EQ(vindle({"-U", "-t", top}, "C.UTF-8").out, "init\u2500\u2500\u2500" + cafe + "\n");
    // Without the probe the locale never changes: the title is escaped too.
    EXPECT_EQ(vindle({"-t", top}, "C.UTF-8").out, "init---cafM-CM-)\n");
}

}  // namespace
