// The runs that LeakSanitizer checks in a sanitizer build: every option,
// every path of a run (the whole table, one pid, one user's trees, a pipe, a
// terminal, a locale that is missing, a terminal that is unknown), and the
// runs that fail on purpose (a bad option or pid, an unknown user, too few
// descriptors). A leak shows on any run that takes the leaking path, so
// these runs are enough to find one, and the other suites' runs skip the
// check, which takes most of a short run's time (run_program.h). In other
// builds the same runs check the exit status.
//
// A run whose output fails (closed, full, or its reader gone) ends through
// _exit once the output is flushed, before LeakSanitizer's check at exit
// could run; closed_output_test.cpp checks those.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/program/process_tree.h"
#include "support/program/run_program.h"

namespace {

// Words that stand for the spawned tree in a run's arguments.
constexpr const char* topPid = "TOP";
constexpr const char* childPid = "CHILD";
constexpr const char* ownUser = "USER";

struct LeakRun {
    const char* name;
    std::vector<std::string> arguments;
    int status = 0;
    StandardOutput output = StandardOutput::pipe;
    std::vector<std::string> environment{"LC_ALL=C"};
    bool ignorePipeSignal = false;
    std::vector<ResourceLimit> limits{};
};

void PrintTo(const LeakRun& run, std::ostream* out) { *out << run.name; }

const std::vector<std::string> utf8Terminal{"LC_ALL=C.UTF-8", "TERM=xterm"};

const LeakRun leakRuns[] = {
    {.name = "AllTrees", .arguments = {}},
    {.name = "OnePid", .arguments = {"--pid=TOP"}},
    {.name = "PidOperand", .arguments = {topPid}},
    {.name = "OneUsersTrees", .arguments = {ownUser}},
    {.name = "Arguments", .arguments = {"-a", "--pid=TOP"}},
    {.name = "Ascii", .arguments = {"-A", "--pid=TOP"}},
    {.name = "NoCompact", .arguments = {"-c", "--pid=TOP"}},
    {.name = "Vt100", .arguments = {"-G", "--pid=TOP"}},
    {.name = "Unicode", .arguments = {"-U", "--pid=TOP"}, .environment = {"LC_ALL=C.UTF-8"}},
    {.name = "KernelProcesses", .arguments = {"-k"}},
    {.name = "Long", .arguments = {"-l", "--pid=TOP"}},
    {.name = "NumericSort", .arguments = {"-n", "--pid=TOP"}},
    {.name = "Pids", .arguments = {"-p", "--pid=TOP"}},
    {.name = "Titles", .arguments = {"-t", "--pid=TOP"}},
    {.name = "UidChanges", .arguments = {"-u"}},
    {.name = "HighlightItself", .arguments = {"-H"}},
    {.name = "HighlightPid", .arguments = {"-HCHILD", "--pid=TOP"}},
    {.name = "EveryLabelOption", .arguments = {"-a", "-n", "-p", "-t", "-u", "-l", "--pid=TOP"}},
    {.name = "NoSuchPid", .arguments = {"--pid=2147483647"}},
    {.name = "Help", .arguments = {"-h"}},
    {.name = "Version", .arguments = {"-V"}},
    {.name = "VersionShort", .arguments = {"-Vs"}},
    {.name = "VersionLicense", .arguments = {"-Vl"}},
    {.name = "Terminal",
     .arguments = {"-a", "--pid=TOP"},
     .output = StandardOutput::terminal,
     .environment = utf8Terminal},
    {.name = "TerminalHighlight",
     .arguments = {"-HCHILD", "--pid=TOP"},
     .output = StandardOutput::terminal,
     .environment = {"LC_ALL=C", "TERM=xterm"}},
    {.name = "UnknownTerminal",
     .arguments = {"--pid=TOP"},
     .output = StandardOutput::terminal,
     .environment = {"LC_ALL=C", "TERM=no-such-terminal", "TERMINFO=/nonexistent"}},
    {.name = "MissingLocale",
     .arguments = {"-U", "--pid=TOP"},
     .environment = {"LC_ALL=xx_XX.UTF-8"}},
    {.name = "MissingLocaleOnATerminal",
     .arguments = {"--pid=TOP"},
     .output = StandardOutput::terminal,
     .environment = {"LC_ALL=xx_XX.UTF-8", "TERM=xterm"}},
    {.name = "UnknownOption", .arguments = {"-z"}, .status = 1},
    {.name = "BadPid", .arguments = {"--pid=12x"}, .status = 1},
    {.name = "BadHighlightPid", .arguments = {"-H12x"}, .status = 1},
    {.name = "UnknownUser", .arguments = {"no_such_vindle_user"}, .status = 1},
    {.name = "TooFewDescriptors",
     .arguments = {"-a", "--pid=TOP"},
     .status = 1,
     .limits = {{.resource = RLIMIT_NOFILE, .value = 4}}},
};

class LeakCheckTest : public testing::TestWithParam<LeakRun> {
  protected:
    static void SetUpTestSuite() {
        ProcessPlan top = ProcessTree::parse("leak(worker*3 shell(editor) daemon)");
        top.at("leak/shell").argv = {"-sh", "--login", "a longer argument"};
        top.at("leak/daemon").argv = {"daemon", "--foreground", "--config=/etc/daemon.conf"};
        top.at("leak/daemon").title = "daemon: accepting";
        top.at("leak/shell/editor").label = "child";
        tree = new ProcessTree(top);
    }
    static void TearDownTestSuite() {
        delete tree;
        tree = nullptr;
    }

    // The run's arguments with the words for the tree replaced.
    static std::vector<std::string> argumentsOf(const LeakRun& run) {
        const std::string top = std::to_string(tree->topPid());
        const std::string child = std::to_string(tree->pid("child"));
        const passwd* entry = getpwuid(getuid());
        std::vector<std::string> arguments;
        for (std::string argument : run.arguments) {
            if (argument == ownUser && entry != nullptr) argument = entry->pw_name;
            for (const auto& [word, pid] : {std::pair{topPid, top}, std::pair{childPid, child}})
                if (const std::size_t at = argument.find(word); at != std::string::npos)
                    argument.replace(at, std::string(word).size(), pid);
            arguments.push_back(argument);
        }
        return arguments;
    }

    static ProcessTree* tree;
};

ProcessTree* LeakCheckTest::tree = nullptr;

TEST_P(LeakCheckTest, EndsWithItsStatusAndLeaksNothing) {
    const LeakRun& run = GetParam();
    std::vector<std::string> environment = run.environment;
    environment.push_back("PATH=/usr/bin:/bin");
    const ProgramResult result =
        runVindle(argumentsOf(run), {.environment = environment,
                                     .replaceEnvironment = true,
                                     .output = run.output,
                                     .terminalSize = {24, 60},
                                     .ignorePipeSignal = run.ignorePipeSignal,
                                     .limits = run.limits,
                                     .checkLeaks = true});
    ASSERT_EQ(result.setupError, "");
    EXPECT_EQ(result.err.find("LeakSanitizer"), std::string::npos) << result.err;
    EXPECT_EQ(result.status, run.status) << result.err;
    if (run.status == 0 && run.output == StandardOutput::pipe) {
        EXPECT_EQ(result.err, "");
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, LeakCheckTest, testing::ValuesIn(leakRuns),
                         [](const testing::TestParamInfo<LeakRun>& test) {
                             return std::string(test.param.name);
                         });

}  // namespace
