// The completions for bash, zsh and fish, each driven by the real shell:
// bash calls the completion function with the words it would hand to it, zsh
// completes a typed line in an interactive shell on a pseudo-terminal
// (tests/completion/zsh-complete), and fish answers `complete -C` with the
// completion loaded from its directory by the command's name. A shell that is not
// installed is skipped.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/option_table.h"
#include "support/lines.h"
#include "support/program/build_paths.h"
#include "support/program/run_program.h"
#include "support/system/kernel_threads.h"

namespace {

const std::string completionDir = std::string(VINDLE_SOURCE_DIR) + "/completion";
const std::string zshDriver = std::string(VINDLE_SOURCE_DIR) + "/tests/completion/zsh-complete";
// What zsh's compinit finds, dumped once by the build (tests/CMakeLists.txt);
// the driver looks again when it is not there.
const std::string zshDump = std::string(VINDLE_TOOLS_DIR) + "/zsh-compdump";

enum class Shell { bash, zsh, fish };

const char* shellName(Shell shell) {
    switch (shell) {
        case Shell::bash:
            return "bash";
        case Shell::zsh:
            return "zsh";
        case Shell::fish:
            return "fish";
    }
    return "";
}

// The shell's path through PATH, or nothing when it is not installed.
std::optional<std::string> findShell(Shell shell) {
    const char* path = std::getenv("PATH");
    std::istringstream directories(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string directory; std::getline(directories, directory, ':');) {
        const std::string candidate = directory + "/" + shellName(shell);
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

// bash's words for a line, as bash splits it with its default word breaks:
// at blanks, and "=" a word of its own ("--pid=12" gives "--pid" "=" "12").
// A line that ends in a blank completes an empty word.
std::vector<std::string> bashWords(const std::string& line, bool splitAtEquals) {
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        if (c == ' ') {
            words.push_back(word);
            word.clear();
        } else if (c == '=' && splitAtEquals) {
            words.push_back(word);
            words.push_back("=");
            word.clear();
        } else {
            word += c;
        }
    }
    words.push_back(word);
    return words;
}

ProgramResult completeWithBash(const std::string& bash, const std::vector<std::string>& words) {
    std::vector<std::string> arguments = {
        "-c",
        "source \"$1\" || exit 2; shift;"
        " COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1));"
        " COMP_LINE=\"$*\"; COMP_POINT=${#COMP_LINE};"
        " _vindle; printf '%s\\n' \"${COMPREPLY[@]}\"",
        "bash",
        completionDir + "/vindle.bash",
    };
    arguments.insert(arguments.end(), words.begin(), words.end());
    return runProgram(bash, arguments);
}

// fish loads the completion of a command only when the command is found.
const std::string vindleDir = vindlePath().substr(0, vindlePath().rfind('/'));

// The replies of `shell` for `line`, whose last word is being completed;
// fish's descriptions after the tab are left out.
std::vector<std::string> complete(Shell shell, const std::string& program, const std::string& line,
                                  bool splitAtEquals = true) {
    ProgramResult result;
    switch (shell) {
        case Shell::bash:
            result = completeWithBash(program, bashWords(line, splitAtEquals));
            break;
        case Shell::zsh:
            result = runProgram(program, {"-f", zshDriver, completionDir, line, zshDump});
            break;
        case Shell::fish:
            result = runProgram(program, {"--no-config", "-c",
                                          "set -p fish_complete_path $argv[1];"
                                          " set -px PATH $argv[3]; complete -C $argv[2]",
                                          completionDir, line, vindleDir});
            break;
    }
    EXPECT_EQ(result.status, 0) << shellName(shell) << ": " << line << "\n" << result.err;
    EXPECT_EQ(result.err, "") << shellName(shell) << ": " << line;
    std::vector<std::string> replies;
    for (const std::string& reply : linesOf(result.out))
        if (!reply.empty()) replies.push_back(reply.substr(0, reply.find('\t')));
    return replies;
}

bool contains(const std::vector<std::string>& replies, const std::string& reply) {
    return std::find(replies.begin(), replies.end(), reply) != replies.end();
}

// The replies for a message, the first 40 of them.
std::string joined(const std::vector<std::string>& replies) {
    std::string text;
    for (std::size_t i = 0; i < replies.size() && i < 40; ++i) text += replies[i] + " ";
    if (replies.size() > 40) text += "... (" + std::to_string(replies.size()) + " replies)";
    return text;
}

const std::string ownPid = std::to_string(getpid());

// A kernel thread of this machine, or nothing in a container that sees
// none.
std::optional<std::string> kernelThreadPid() {
    const std::set<pid_t> threads = kernelThreads();
    if (threads.empty()) return std::nullopt;
    return std::to_string(*threads.begin());
}

// Words that stand for values only known when the test runs.
constexpr const char* ownPidWord = "$OWN";
constexpr const char* kernelPidWord = "$KERNEL";

struct CompletionCase {
    const char* what;
    std::string line;  // the last word is being completed
    std::vector<std::string> included;
    std::vector<std::string> excluded;
    bool exact;  // the replies are exactly `included`
    // Taken off the front of every reply: "--pid=" for "--pid=12" (zsh
    // replies "12" alone), "-V" for "-Vs".
    std::string attached = "";
};

void PrintTo(const CompletionCase& c, std::ostream* stream) { *stream << c.what; }

const std::vector<std::string> versionForms = {"s", "short", "l", "license"};

// Every shell answers these alike.
const CompletionCase sharedCases[] = {
    {"long prefix", "vindle --sh", {"--show-kernel", "--show-pids", "--show-titles"}, {}, true},
    {"version forms", "vindle --version=", versionForms, {}, true, "--version="},
    {"version form prefix", "vindle --version=l", {"l", "license"}, {}, true, "--version="},
    {"user after =", "vindle --user=roo", {"root"}, {}, false, "--user="},
    {"user as next word", "vindle --user roo", {"root"}, {}, false},
    {"pid after =", "vindle --pid=", {"1", ownPidWord}, {"root", kernelPidWord}, false, "--pid="},
    {"pid as next word", "vindle --pid ", {"1", ownPidWord}, {"root", kernelPidWord}, false},
    {"own pid after =",
     std::string("vindle --pid=") + ownPidWord,
     {ownPidWord},
     {"1"},
     false,
     "--pid="},
    {"highlight pid after =",
     "vindle --highlight=",
     {ownPidWord},
     {"root", kernelPidWord},
     false,
     "--highlight="},
    {"highlight-pid as next word",
     "vindle --highlight-pid ",
     {ownPidWord},
     {"root", kernelPidWord},
     false},
    // The optional arguments of -H and -V in the same word, also after other
    // letters.
    {"pid attached to -H", "vindle -H", {"1", ownPidWord}, {"root", kernelPidWord}, false, "-H"},
    {"kernel pid attached to -kH", "vindle -kH", {kernelPidWord}, {}, false, "-kH"},
    {"version forms attached to -V", "vindle -V", versionForms, {}, true, "-V"},
    {"version forms after a group", "vindle -aV", versionForms, {}, true, "-aV"},
    // Optional arguments are never taken from the next word: that word is a
    // positional PID or USER.
    {"word after --highlight", "vindle --highlight ", {ownPidWord, "root"}, {}, false},
    {"operand", "vindle ", {"1", ownPidWord, "root"}, {"--help", kernelPidWord}, false},
    {"operand user prefix", "vindle -a roo", {"root"}, {ownPidWord}, false},
    {"operand pid prefix",
     std::string("vindle ") + ownPidWord,
     {ownPidWord},
     {"root", kernelPidWord},
     false},
    // Kernel threads only with -k, in any of its forms, anywhere before.
    {"kernel pids with -k", "vindle -k --pid=", {"1", kernelPidWord}, {}, false, "--pid="},
    {"kernel pids with -k in a group", "vindle -ank ", {kernelPidWord, "root"}, {}, false},
    {"kernel pids with --show-kernel",
     "vindle --show-kernel --highlight-pid ",
     {kernelPidWord},
     {},
     false},
    // -h and -V end the run: nothing after them is read, so nothing is
    // offered, whatever form they take.
    {"after -h", "vindle -h ", {}, {}, true},
    {"after --help", "vindle --help -", {}, {}, true},
    {"after -V in a group", "vindle -aV --s", {}, {}, true},
    {"after -V with its form", "vindle -Vs ", {}, {}, true},
    {"after --version=", "vindle --version=short ", {}, {}, true},
    // An "h" or "V" that is the argument of -H, or a word after "--", is no
    // option.
    {"h as the argument of -H", "vindle -Hh ", {"1", "root"}, {}, false},
    {"-h after --", "vindle -- -h ", {"1", "root"}, {}, false},
};

// bash and fish follow vindle's option parser further than zsh does: long
// options abbreviated as far as they stay unambiguous, and a word that looks
// like an option as the argument of the option before it.
const CompletionCase getoptCases[] = {
    {"-h as the argument of --user", "vindle --user -h ", {"1", "root"}, {}, false},
    {"kernel pids with --show-k", "vindle --show-k ", {kernelPidWord}, {}, false},
    {"after an abbreviated --help", "vindle --hel ", {}, {}, true},
    {"after an abbreviated --version", "vindle -c --vers ", {}, {}, true},
};

class CompletionTest : public testing::TestWithParam<std::tuple<Shell, CompletionCase>> {};

std::string resolved(const std::string& word, const std::string& kernelPid) {
    std::string result = word;
    for (const auto& [name, value] :
         {std::pair<std::string, std::string>{ownPidWord, ownPid}, {kernelPidWord, kernelPid}}) {
        for (std::size_t at = result.find(name); at != std::string::npos; at = result.find(name))
            result.replace(at, name.size(), value);
    }
    return result;
}

TEST_P(CompletionTest, RepliesAsExpected) {
    const auto& [shell, c] = GetParam();
    const std::optional<std::string> program = findShell(shell);
    if (!program)
        GTEST_SKIP() << shellName(shell) << " is not installed (Debian package " << shellName(shell)
                     << ")";
    const std::optional<std::string> kernelPid = kernelThreadPid();
    const bool needsKernelPid =
        std::any_of(c.included.begin(), c.included.end(),
                    [](const std::string& word) { return word == kernelPidWord; });
    if (needsKernelPid && !kernelPid) GTEST_SKIP() << "no kernel thread is visible here";

    std::vector<std::string> replies;
    for (const std::string& reply :
         complete(shell, *program, resolved(c.line, kernelPid.value_or(""))))
        replies.push_back(reply.rfind(c.attached, 0) == 0 ? reply.substr(c.attached.size())
                                                          : reply);

    std::vector<std::string> included, excluded;
    for (const std::string& word : c.included)
        included.push_back(resolved(word, kernelPid.value_or("")));
    for (const std::string& word : c.excluded)
        if (word != kernelPidWord || kernelPid)
            excluded.push_back(resolved(word, kernelPid.value_or("")));
    if (c.exact) {
        std::vector<std::string> sorted = replies;
        std::sort(sorted.begin(), sorted.end());
        std::sort(included.begin(), included.end());
        EXPECT_EQ(sorted, included) << joined(replies);
    }
    for (const std::string& reply : included)
        EXPECT_TRUE(contains(replies, reply)) << reply << " not in " << joined(replies);
    for (const std::string& reply : excluded)
        EXPECT_FALSE(contains(replies, reply)) << reply << " in " << joined(replies);
}

std::string caseName(const testing::TestParamInfo<std::tuple<Shell, CompletionCase>>& param) {
    std::string name =
        std::string(shellName(std::get<0>(param.param))) + "_" + std::get<1>(param.param).what;
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return std::isalnum(static_cast<unsigned char>(c)) == 0; }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Shells, CompletionTest,
                         testing::Combine(testing::Values(Shell::bash, Shell::zsh, Shell::fish),
                                          testing::ValuesIn(sharedCases)),
                         caseName);
INSTANTIATE_TEST_SUITE_P(Getopt, CompletionTest,
                         testing::Combine(testing::Values(Shell::bash, Shell::fish),
                                          testing::ValuesIn(getoptCases)),
                         caseName);

// bash with "=" removed from its word breaks hands "--pid=12" over as one
// word; the replies then keep the "--pid=".
TEST(CompletionBashTest, OneWordFormsKeepTheirOption) {
    const std::optional<std::string> bash = findShell(Shell::bash);
    ASSERT_TRUE(bash);
    EXPECT_EQ(complete(Shell::bash, *bash, "vindle --version=l", false),
              (std::vector<std::string>{"--version=l", "--version=license"}));
    EXPECT_TRUE(contains(complete(Shell::bash, *bash, "vindle --user=roo", false), "--user=root"));
    EXPECT_TRUE(
        contains(complete(Shell::bash, *bash, "vindle --pid=" + ownPid, false), "--pid=" + ownPid));
}

TEST(CompletionBashTest, RegistersForTheCommand) {
    const std::optional<std::string> bash = findShell(Shell::bash);
    ASSERT_TRUE(bash);
    ProgramResult result = runProgram(*bash, {"-c", "source \"$1\" && complete -p vindle", "bash",
                                              completionDir + "/vindle.bash"});
    EXPECT_EQ(result.out, "complete -F _vindle vindle\n");
    EXPECT_EQ(result.status, 0) << result.err;
}

// The options of the table, as a shell offers them: "--name" for each long
// option, "-x" for each short one.
std::set<std::string> tableOptions(bool longOnes) {
    std::set<std::string> options;
    for (const OptionEntry& entry : optionTable) {
        if (longOnes)
            options.insert(std::string("--") + entry.name);
        else if (definesShortOption(entry))
            options.insert(std::string("-") + entry.letter);
    }
    return options;
}

// Whether the long option `name` ("--name") takes an argument.
bool takesArgument(const std::string& name) {
    for (const OptionEntry& entry : optionTable)
        if (name == std::string("--") + entry.name) return entry.argument != no_argument;
    return false;
}

// The options among `replies`, long or short, with a trailing "=" taken off;
// an "=" is offered only where the option takes an argument.
std::set<std::string> offeredOptions(Shell shell, const std::vector<std::string>& replies,
                                     bool longOnes) {
    std::set<std::string> options;
    for (std::string reply : replies) {
        if ((reply.rfind("--", 0) == 0) != longOnes) continue;
        if (reply.size() > 1 && reply.back() == '=') {
            reply.pop_back();
            EXPECT_TRUE(takesArgument(reply)) << shellName(shell) << ": " << reply << "=";
        }
        options.insert(reply);
    }
    return options;
}

// Every shell offers exactly the options of the table for "-": each short
// option and each long one (with or without its "="), and nothing that is no
// option.
class CompletionOptionsTest : public testing::TestWithParam<Shell> {};

void PrintTo(Shell shell, std::ostream* stream) { *stream << shellName(shell); }

TEST_P(CompletionOptionsTest, OffersExactlyTheOptionsOfTheTable) {
    const Shell shell = GetParam();
    const std::optional<std::string> program = findShell(shell);
    if (!program)
        GTEST_SKIP() << shellName(shell) << " is not installed (Debian package " << shellName(shell)
                     << ")";
    const std::vector<std::string> replies = complete(shell, *program, "vindle -");
    EXPECT_EQ(offeredOptions(shell, replies, false), tableOptions(false)) << joined(replies);
    EXPECT_EQ(offeredOptions(shell, replies, true), tableOptions(true)) << joined(replies);
}

INSTANTIATE_TEST_SUITE_P(Shells, CompletionOptionsTest,
                         testing::Values(Shell::bash, Shell::zsh, Shell::fish),
                         [](const testing::TestParamInfo<Shell>& param) {
                             return std::string(shellName(param.param));
                         });

}  // namespace
