// Option errors of the built program: the warning on standard error, the help
// text on standard output, status 1; the first ending option decides.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/help_text.h"
#include "support/program/run_program.h"

namespace {

std::string describeWords(const std::vector<std::string>& words) {
    std::string text = "command line:";
    for (const std::string& word : words) text += " [" + word + "]";
    return text;
}

struct BadNumberCase {
    std::vector<std::string> words;
    const char* message;
    const char* text;  // as it appears between the quotes
};

// clang-format off
const BadNumberCase badNumberCases[] = {
    {{"--pid=x"}, "Number is invalid", "x"},
    {{"--pid="}, "Number is invalid", ""},
    {{"--pid=08"}, "Number is invalid", "08"},
    {{"--pid=5 "}, "Number is invalid", "5 "},
    {{"--pid=0x"}, "Number is invalid", "0x"},
    {{"--pid=-1"}, "Number is too small", "-1"},
    {{"--pid", "-1"}, "Number is too small", "-1"},
    {{"--pid=2147483648"}, "Number is too large", "2147483648"},
    {{"--pid=0x80000000"}, "Number is too large", "0x80000000"},
    {{"--pid=99999999999999999999"}, "Number is too large", "99999999999999999999"},
    {{"-Hx"}, "Number is invalid", "x"},
    {{"-H-1"}, "Number is too small", "-1"},
    {{"-H2147483648"}, "Number is too large", "2147483648"},
    {{"--highlight=x"}, "Number is invalid", "x"},
    {{"--highlight="}, "Number is invalid", ""},
    {{"--highlight-pid=abc"}, "Number is invalid", "abc"},
    {{"--highlight-pid", "12abc"}, "Number is invalid", "12abc"},
    // Positional arguments: a text is a user name, but a number must fit.
    {{"--", "-5"}, "Number is too small", "-5"},
    {{"2147483648"}, "Number is too large", "2147483648"},
    {{"root", "--", "-5", "7"}, "Number is too small", "-5"},
    {{"--", "-5", "2147483648"}, "Number is too small", "-5"},
    // The first ending option decides, whatever follows.
    {{"-Hx", "--pid=y"}, "Number is invalid", "x"},
    {{"--pid=y", "-Hx"}, "Number is invalid", "y"},
    {{"--pid=x", "-x"}, "Number is invalid", "x"},
    {{"--pid=x", "-h"}, "Number is invalid", "x"},
    {{"--pid=x", "-V"}, "Number is invalid", "x"},
    // Options are all handled before any positional argument is looked at.
    {{"2147483648", "-Hx"}, "Number is invalid", "x"},
    // The text is quoted encoded as names are in the POSIX locale: escape
    // sequences, 8-bit controls, invalid bytes and blanks that strtol skips.
    {{"-H\x1b[2J\x9b" "1"}, "Number is invalid", "^[[2JM^[1"},
    {{"--pid=\xff\xc3"}, "Number is invalid", "M^?M-C"},
    {{"--highlight-pid", "1\x1b]0;x\x07"}, "Number is invalid", "1^[]0;x^G"},
    {{"--pid=\n-1"}, "Number is too small", "\\012-1"},
    {{"--", "\t-5"}, "Number is too small", "\\011-5"},
};
// clang-format on

// Run through a path: the warning and the help text both name the base name.
TEST(CommandLineTest, BadNumberWarnsThenPrintsHelpAndExitsOne) {
    ProgramOptions options;
    options.argv0 = "/usr/local/bin/vindle";
    for (const BadNumberCase& c : badNumberCases) {
        SCOPED_TRACE(describeWords(c.words));
        const ProgramResult result = runVindle(c.words, options);
        EXPECT_EQ(result.err, std::string("vindle: ") + c.message + ": \"" + c.text + "\"\n");
        EXPECT_EQ(result.out, helpText());
        EXPECT_EQ(result.status, 1);
    }
}

struct LibraryErrorCase {
    std::vector<std::string> words;
    const char* named;  // what the library's diagnostic must name
};

const LibraryErrorCase libraryErrorCases[] = {
    {{"-x"}, "x"},
    {{"-5"}, "5"},
    {{"-ax"}, "x"},
    {{"--bogus"}, "bogus"},
    {{"--high"}, "high"},              // highlight, highlight-all, highlight-pid
    {{"--highlight-"}, "highlight-"},  // highlight-all, highlight-pid
    {{"--s"}, "s"},                    // show-kernel, show-pids, show-titles
    {{"--help=1"}, "help"},
    {{"--compact=yes"}, "compact"},
    {{"--highlight-all=3"}, "highlight-all"},
    {{"--pid"}, "pid"},
    {{"--user"}, "user"},
    {{"--highlight-pid"}, "highlight-pid"},
    // The first ending option decides, whatever follows.
    {{"-x", "-h"}, "x"},
    {{"-x", "-V"}, "x"},
    {{"-x", "--pid=y"}, "x"},
    {{"--user=root", "-U", "-x"}, "x"},
    // Options are all handled before any positional argument is looked at.
    {{"2147483648", "-x"}, "x"},
};

TEST(CommandLineTest, LibraryDiagnosticIsFollowedByHelpAndStatusOne) {
    for (const LibraryErrorCase& c : libraryErrorCases) {
        SCOPED_TRACE(describeWords(c.words));
        const ProgramResult result = runVindle(c.words);
        EXPECT_EQ(result.out, helpText());
        EXPECT_EQ(result.status, 1);
        // The wording is the library's: one line that names the option, and
        // none of our own number messages.
        ASSERT_FALSE(result.err.empty());
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
        EXPECT_NE(result.err.find(c.named), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("Number is"), std::string::npos) << result.err;
    }
}

// With both streams on one pipe, the warning comes before the help text.
TEST(CommandLineTest, WarningPrecedesHelpOnASharedStream) {
    struct Case {
        std::vector<std::string> words;
        std::string warningPrefix;
    };
    const Case cases[] = {
        {{"--pid=x"}, "vindle: Number is invalid: \"x\"\n"},
        {{"--", "-5"}, "vindle: Number is too small: \"-5\"\n"},
        {{"-x"}, ""},  // the library's own wording
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(describeWords(c.words));
        std::vector<std::string> shell{"-c", "exec \"$0\" \"$@\" 2>&1", vindlePath()};
        shell.insert(shell.end(), c.words.begin(), c.words.end());
        const ProgramResult result = runProgram("/bin/sh", shell);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "");
        const std::string help = helpText();
        ASSERT_GT(result.out.size(), help.size());
        EXPECT_EQ(result.out.substr(result.out.size() - help.size()), help);
        const std::string warning = result.out.substr(0, result.out.size() - help.size());
        if (!c.warningPrefix.empty()) {
            EXPECT_EQ(warning, c.warningPrefix);
        }
        EXPECT_EQ(warning.find('\n'), warning.size() - 1) << "one warning line, before the help";
    }
}

}  // namespace
