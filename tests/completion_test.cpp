// The bash completion script, run by a real bash with the words that bash
// would hand to it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "support/run_program.h"

namespace {

const std::string scriptPath = std::string(VINDLE_SOURCE_DIR) + "/completion/vindle.bash";

// Sources the script, sets the completion variables for `words` (the last
// one being completed) and prints the replies, one a line.
std::vector<std::string> complete(const std::vector<std::string>& words) {
    std::vector<std::string> arguments = {
        "-c",
        "source \"$1\" || exit 2; shift;"
        " COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1));"
        " COMP_LINE=\"$*\"; COMP_POINT=${#COMP_LINE};"
        " _vindle; printf '%s\\n' \"${COMPREPLY[@]}\"",
        "bash",
        scriptPath,
    };
    arguments.insert(arguments.end(), words.begin(), words.end());
    ProgramResult result = runProgram("/bin/bash", arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    std::vector<std::string> replies;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) replies.push_back(line);
    return replies;
}

bool contains(const std::vector<std::string>& replies, const std::string& reply) {
    return std::find(replies.begin(), replies.end(), reply) != replies.end();
}

std::string joined(const std::vector<std::string>& replies) {
    std::string text;
    for (const std::string& reply : replies) text += reply + " ";
    return text;
}

const std::string ownPid = std::to_string(getpid());

struct CompletionCase {
    const char* what;
    std::vector<std::string> words;
    std::vector<std::string> included;
    std::vector<std::string> excluded;
    bool exact;  // the replies are exactly `included`
};

void PrintTo(const CompletionCase& c, std::ostream* stream) { *stream << c.what; }

class CompletionTest : public testing::TestWithParam<CompletionCase> {};

TEST_P(CompletionTest, RepliesAsExpected) {
    const CompletionCase& c = GetParam();
    const std::vector<std::string> replies = complete(c.words);
    if (c.exact) {
        std::vector<std::string> sorted = replies;
        std::vector<std::string> expected = c.included;
        std::sort(sorted.begin(), sorted.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(sorted, expected);
    }
    for (const std::string& reply : c.included)
        EXPECT_TRUE(contains(replies, reply)) << reply << " not in " << joined(replies);
    for (const std::string& reply : c.excluded)
        EXPECT_FALSE(contains(replies, reply)) << reply << " in " << joined(replies);
}

// bash splits "--pid=12" into "--pid", "=" and "12" while "=" is one of its
// word breaks (the default); the single-word forms cover the other setting.
INSTANTIATE_TEST_SUITE_P(
    Words, CompletionTest,
    testing::Values(
        CompletionCase{"long prefix",
                       {"vindle", "--sh"},
                       {"--show-kernel", "--show-pids", "--show-titles"},
                       {},
                       true},
        CompletionCase{"version forms",
                       {"vindle", "--version", "=", ""},
                       {"s", "short", "l", "license"},
                       {},
                       true},
        CompletionCase{"version form in one word",
                       {"vindle", "--version=l"},
                       {"--version=l", "--version=license"},
                       {},
                       true},
        CompletionCase{"user after =", {"vindle", "--user", "=", "roo"}, {"root"}, {}, false},
        CompletionCase{"user as next word", {"vindle", "--user", "roo"}, {"root"}, {}, false},
        CompletionCase{"user in one word", {"vindle", "--user=roo"}, {"--user=root"}, {}, false},
        CompletionCase{"pid after =", {"vindle", "--pid", "=", ""}, {"1", ownPid}, {"root"}, false},
        CompletionCase{"pid as next word", {"vindle", "--pid", ""}, {"1", ownPid}, {"root"}, false},
        CompletionCase{
            "pid in one word", {"vindle", "--pid=" + ownPid}, {"--pid=" + ownPid}, {}, false},
        CompletionCase{
            "highlight pid", {"vindle", "--highlight", "=", ""}, {ownPid}, {"root"}, false},
        CompletionCase{"highlight-pid as next word",
                       {"vindle", "--highlight-pid", ""},
                       {ownPid},
                       {"root"},
                       false},
        // Optional arguments are never taken from the next word: that word
        // is a positional PID or USER.
        CompletionCase{
            "word after --highlight", {"vindle", "--highlight", ""}, {ownPid, "root"}, {}, false},
        CompletionCase{"word after --version",
                       {"vindle", "--version", ""},
                       {"root"},
                       {"short", "license"},
                       false},
        CompletionCase{"positional", {"vindle", ""}, {"1", ownPid, "root"}, {"--help"}, false},
        CompletionCase{
            "positional user prefix", {"vindle", "-a", "roo"}, {"root"}, {ownPid}, false},
        CompletionCase{"positional pid prefix", {"vindle", ownPid}, {ownPid}, {"root"}, false}),
    [](const testing::TestParamInfo<CompletionCase>& param) {
        std::string name = param.param.what;
        std::replace_if(
            name.begin(), name.end(),
            [](char c) { return std::isalnum(static_cast<unsigned char>(c)) == 0; }, '_');
        return name;
    });

TEST(CompletionOptionsTest, OffersEveryOptionOfTheTable) {
    const std::vector<std::string> longReplies = complete({"vindle", "--"});
    for (const option* entry = longOptions; entry->name != nullptr; ++entry) {
        const std::string name = std::string("--") + entry->name;
        // An option that takes an argument may be offered with its "=".
        EXPECT_TRUE(contains(longReplies, name) || contains(longReplies, name + "=")) << name;
    }
    for (const std::string& reply : longReplies) EXPECT_EQ(reply.rfind("--", 0), 0u) << reply;

    const std::vector<std::string> shortReplies = complete({"vindle", "-"});
    for (const char* letter = shortOptions; *letter != '\0'; ++letter) {
        if (*letter == ':') continue;
        EXPECT_TRUE(contains(shortReplies, std::string("-") + *letter)) << *letter;
    }
}

TEST(CompletionOptionsTest, RegistersForTheCommand) {
    ProgramResult result =
        runProgram("/bin/bash", {"-c", "source \"$1\" && complete -p vindle", "bash", scriptPath});
    EXPECT_EQ(result.out, "complete -F _vindle vindle\n");
    EXPECT_EQ(result.status, 0) << result.err;
}

}  // namespace
