#include "cli/options.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "cli/version.h"
#include "platform/own_pid.h"
#include "platform/program_name.h"
#include "support/help_text.h"
#include "support/unit/exit_output.h"

namespace {

// A command line as getopt_long wants it: writable words ended by a null.
class Arguments {
  public:
    explicit Arguments(const std::vector<std::string>& options) : words_{"vindle"} {
        words_.insert(words_.end(), options.begin(), options.end());
        for (std::string& word : words_) pointers_.push_back(word.data());
        pointers_.push_back(nullptr);
    }
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;

    int count() const { return static_cast<int>(words_.size()); }
    char** vector() { return pointers_.data(); }

  private:
    std::vector<std::string> words_;
    std::vector<char*> pointers_;
};

std::string describe(const std::vector<std::string>& words) {
    std::string text = "command line:";
    for (const std::string& word : words) text += " [" + word + "]";
    return text;
}

// --- parseNumber ----------------------------------------------------------

struct AcceptedNumber {
    const char* text;
    pid_t value;
};

TEST(ParseNumberTest, AcceptsNumbersFromZeroToTheLargestPid) {
    const AcceptedNumber cases[] = {
        {"0", 0},
        {"-0", 0},
        {"+0", 0},
        {"+5", 5},
        {"42", 42},
        {"0x1F", 31},
        {"0X1f", 31},
        {"-0x0", 0},
        {"010", 8},
        {"00", 0},
        {"0x0", 0},
        {"2147483647", INT_MAX},
        {"0x7fffffff", INT_MAX},
        {"017777777777", INT_MAX},
        {" 7", 7},
        {"\t\n\v\f\r 7", 7},
        {"  +0x10", 16},
    };
    for (const AcceptedNumber& c : cases) {
        SCOPED_TRACE(std::string("text [") + c.text + "]");
        EXPECT_EQ(parseNumber(c.text, "vindle", nullptr), c.value);
        bool isNumber = false;
        EXPECT_EQ(parseNumber(c.text, "vindle", &isNumber), c.value);
        EXPECT_TRUE(isNumber);
    }
}

// Texts that are not numbers: rejected without isNumber, reported through it
// with it.
const char* const notNumbers[] = {
    "",      " ",  "x",   "+",   "-",   "08",   "09",  "0x",   "0xg",
    "12abc", "7 ", "5\n", "1.5", "--5", "0x1G", "1e3", "root",
};

TEST(ParseNumberTest, ReportsATextThatIsNotANumberThroughIsNumber) {
    for (const char* text : notNumbers) {
        SCOPED_TRACE(std::string("text [") + text + "]");
        bool isNumber = true;
        parseNumber(text, "vindle", &isNumber);
        EXPECT_FALSE(isNumber);
    }
}

std::string warning(const std::string& message, const std::string& text) {
    return std::string(programName()) + ": " + message + ": \"" + text + "\"\n";
}

void rejectNumber(const char* text, bool* isNumber) {
    parseNumber(text, "/usr/local/bin/vindle", isNumber);
}

// The text is quoted as it was given, but for a byte that is not printable
// ASCII, which is encoded as strvis does in the POSIX locale.
TEST(ParseNumberDeathTest, TextThatIsNotANumberIsInvalidWithoutIsNumber) {
    for (const char* text : notNumbers) {
        SCOPED_TRACE(std::string("text [") + text + "]");
        const std::string quoted = std::string(text) == "5\n" ? "5\\012" : text;
        std::string out = stdoutOfExit([&] { rejectNumber(text, nullptr); }, 1,
                                       warning("Number is invalid", quoted));
        EXPECT_EQ(out, helpText("vindle"));
    }
}

struct RejectedNumber {
    const char* text;
    const char* message;
};

// The number's message and the help text, with isNumber and without.
void expectRejected(const RejectedNumber& c) {
    for (bool withIsNumber : {false, true}) {
        SCOPED_TRACE(std::string("text [") + c.text +
                     (withIsNumber ? "] with isNumber" : "] without isNumber"));
        std::string out = stdoutOfExit(
            [&] {
                bool isNumber = false;
                rejectNumber(c.text, withIsNumber ? &isNumber : nullptr);
            },
            1, warning(c.message, c.text));
        EXPECT_EQ(out, helpText("vindle"));
    }
}

TEST(ParseNumberDeathTest, NumbersOutOfRangeAreRejectedWithAndWithoutIsNumber) {
    const RejectedNumber cases[] = {
        {"-1", "Number is too small"},
        {" -1", "Number is too small"},
        {"-0x1", "Number is too small"},
        {"-2147483648", "Number is too small"},
        // Below the range of long: clamped to its least value, still negative.
        {"-99999999999999999999999", "Number is too small"},
        // Would turn into 1 if it were cut to 32 bits before the check.
        {"-4294967295", "Number is too small"},
        {"2147483648", "Number is too large"},
        {"0x80000000", "Number is too large"},
        {"020000000000", "Number is too large"},
        // Would turn into 0 and 41 if cut to 32 bits before the check.
        {"4294967296", "Number is too large"},
        {"4294967337", "Number is too large"},
        {"9223372036854775807", "Number is too large"},
        // Beyond the range of long: clamped to its greatest value.
        {"9223372036854775808", "Number is too large"},
        {"99999999999999999999999", "Number is too large"},
        {"0xffffffffffffffffffff", "Number is too large"},
    };
    for (const RejectedNumber& c : cases) expectRejected(c);
}

// Numbers past 32 bits, which a conversion into a 32-bit long would clamp to
// its limits (99999999999 to the largest pid, which is accepted) and one cut
// to 32 bits would wrap (6442450943 to the largest pid, 0x100000005 to 5,
// -4294967296 to 0); past 64 bits, where an unsigned conversion would wrap
// -18446744073709551615 to 1.
TEST(ParseNumberDeathTest, NumbersPastThirtyTwoAndSixtyFourBitsAreOutOfRange) {
    const RejectedNumber cases[] = {
        {"99999999999", "Number is too large"},
        {"2147483648", "Number is too large"},
        {"4294967295", "Number is too large"},
        {"0xffffffff", "Number is too large"},
        {"6442450943", "Number is too large"},
        {"0x100000005", "Number is too large"},
        {"0x7fffffffffffffff", "Number is too large"},
        {"0x8000000000000000", "Number is too large"},
        {"18446744073709551615", "Number is too large"},
        {"18446744073709551616", "Number is too large"},
        {"-99999999999", "Number is too small"},
        {"-2147483649", "Number is too small"},
        {"-4294967296", "Number is too small"},
        {"-9223372036854775808", "Number is too small"},
        {"-9223372036854775809", "Number is too small"},
        {"-18446744073709551615", "Number is too small"},
    };
    for (const RejectedNumber& c : cases) expectRejected(c);
}

// --- parseOptions -----------------------------------------------------------

constexpr pid_t ownPid = -2;  // stands for the test's own pid in the table

struct OptionLineCase {
    std::vector<std::string> words;
    OptionFlags flags;
    // Not checked where a positional text that is not a number overwrote it
    // with a value that means nothing.
    std::optional<pid_t> rootPid;
    pid_t highlightPid;
    std::optional<std::string> userName;
};

// clang-format off
const OptionLineCase optionLineCases[] = {
    {{}, 0, 0, 0, std::nullopt},
    // Options that set more than one bit.
    {{"-a"}, 0x0005, 0, 0, std::nullopt},
    {{"--arguments"}, 0x0005, 0, 0, std::nullopt},
    {{"--arg"}, 0x0005, 0, 0, std::nullopt},
    {{"-p"}, 0x0104, 0, 0, std::nullopt},
    {{"--show-pids"}, 0x0104, 0, 0, std::nullopt},
    {{"-ap"}, 0x0105, 0, 0, std::nullopt},
    // Every spelling of switching compaction off.
    {{"-c"}, 0x0004, 0, 0, std::nullopt},
    {{"--no-compact"}, 0x0004, 0, 0, std::nullopt},
    {{"--compact"}, 0x0004, 0, 0, std::nullopt},
    {{"--comp"}, 0x0004, 0, 0, std::nullopt},
    {{"--no"}, 0x0004, 0, 0, std::nullopt},
    // Drawing sets exclude each other; the last one wins; other bits stay.
    {{"-AGU"}, 0x0800, 0, 0, std::nullopt},
    {{"-U", "-A"}, 0x0002, 0, 0, std::nullopt},
    {{"-A", "-G"}, 0x0010, 0, 0, std::nullopt},
    {{"--unicode", "--vt100"}, 0x0010, 0, 0, std::nullopt},
    {{"--ascii", "--vt", "--unicode", "--ascii"}, 0x0002, 0, 0, std::nullopt},
    {{"-a", "-A", "-k", "-U"}, 0x0825, 0, 0, std::nullopt},
    // Bits that only accumulate.
    {{"-k", "-l", "-n", "-t", "-u"}, 0x06e0, 0, 0, std::nullopt},
    {{"--show-kernel", "--long", "--numeric-sort", "--show-titles", "--uid-changes"}, 0x06e0, 0, 0, std::nullopt},
    {{"-kk", "-k", "--show-kernel"}, 0x0020, 0, 0, std::nullopt},
    {{"-aAckGlnptuU"}, 0x0fe5, 0, 0, std::nullopt},
    {{"-p", "-c", "-a", "-p"}, 0x0105, 0, 0, std::nullopt},
    // Highlighting: the own pid without an attached argument; the last wins.
    {{"-H"}, 0x0008, 0, ownPid, std::nullopt},
    {{"--highlight"}, 0x0008, 0, ownPid, std::nullopt},
    {{"--highlight-all"}, 0x0008, 0, ownPid, std::nullopt},
    {{"-H42"}, 0x0008, 0, 42, std::nullopt},
    {{"-H0"}, 0x0008, 0, 0, std::nullopt},
    {{"-H0x10"}, 0x0008, 0, 16, std::nullopt},
    {{"--highlight=42"}, 0x0008, 0, 42, std::nullopt},
    {{"--highlight-pid", "42"}, 0x0008, 0, 42, std::nullopt},
    {{"--highlight-pid=010"}, 0x0008, 0, 8, std::nullopt},
    {{"--highlight-p=9"}, 0x0008, 0, 9, std::nullopt},
    {{"-H", "42"}, 0x1008, 42, ownPid, std::nullopt},
    {{"--highlight", "42"}, 0x1008, 42, ownPid, std::nullopt},
    {{"-H42", "-H"}, 0x0008, 0, ownPid, std::nullopt},
    {{"-H", "-H7"}, 0x0008, 0, 7, std::nullopt},
    {{"-H7", "--highlight-pid=9", "-H3"}, 0x0008, 0, 3, std::nullopt},
    {{"-aH5"}, 0x000d, 0, 5, std::nullopt},
    // --pid and --user.
    {{"--pid=0x1F"}, 0x1000, 31, 0, std::nullopt},
    {{"--pid=010"}, 0x1000, 8, 0, std::nullopt},
    {{"--pid=0"}, 0x1000, 0, 0, std::nullopt},
    {{"--pid=-0"}, 0x1000, 0, 0, std::nullopt},
    {{"--pid=+5"}, 0x1000, 5, 0, std::nullopt},
    {{"--pid= 5"}, 0x1000, 5, 0, std::nullopt},
    {{"--pid=2147483647"}, 0x1000, INT_MAX, 0, std::nullopt},
    {{"--pid", "42"}, 0x1000, 42, 0, std::nullopt},
    {{"--p=3"}, 0x1000, 3, 0, std::nullopt},
    {{"--user=root"}, 0x2000, 0, 0, "root"},
    {{"--user", "daemon"}, 0x2000, 0, 0, "daemon"},
    {{"--us=root"}, 0x2000, 0, 0, "root"},
    {{"--user="}, 0x2000, 0, 0, ""},
    {{"--user=alice", "--user=bob"}, 0x2000, 0, 0, "bob"},
    {{"--pid=1", "--user=root"}, 0x2000, 1, 0, "root"},
    {{"--user=root", "--pid=1"}, 0x1000, 1, 0, "root"},
    {{"--pid=1", "--pid=2"}, 0x1000, 2, 0, std::nullopt},
    // Positional arguments: a number selects a pid, anything else a user.
    {{"123"}, 0x1000, 123, 0, std::nullopt},
    {{"0"}, 0x1000, 0, 0, std::nullopt},
    {{"2147483647"}, 0x1000, INT_MAX, 0, std::nullopt},
    {{"0x10"}, 0x1000, 16, 0, std::nullopt},
    {{"  5"}, 0x1000, 5, 0, std::nullopt},
    {{"--", "5"}, 0x1000, 5, 0, std::nullopt},
    {{"root"}, 0x2000, std::nullopt, 0, "root"},
    {{"12abc"}, 0x2000, std::nullopt, 0, "12abc"},
    {{"08"}, 0x2000, std::nullopt, 0, "08"},
    {{"5 "}, 0x2000, std::nullopt, 0, "5 "},
    {{""}, 0x2000, std::nullopt, 0, ""},
    {{"--", "-a"}, 0x2000, std::nullopt, 0, "-a"},
    // The last positional argument decides; earlier texts stay in userName.
    {{"root", "1"}, 0x1000, 1, 0, "root"},
    {{"1", "root"}, 0x2000, std::nullopt, 0, "root"},
    {{"alice", "bob"}, 0x2000, std::nullopt, 0, "bob"},
    {{"7", "8"}, 0x1000, 8, 0, std::nullopt},
    // Positional arguments override --pid and --user wherever they stand.
    {{"--user=root", "1"}, 0x1000, 1, 0, "root"},
    {{"1", "--user=root"}, 0x1000, 1, 0, "root"},
    {{"--pid=5", "7"}, 0x1000, 7, 0, std::nullopt},
    {{"7", "--pid=5"}, 0x1000, 7, 0, std::nullopt},
    {{"alice", "--pid=5"}, 0x2000, std::nullopt, 0, "alice"},
    {{"--pid=5", "alice"}, 0x2000, std::nullopt, 0, "alice"},
    // Options after operands are still options.
    {{"-n", "5", "-a", "6"}, 0x1085, 6, 0, std::nullopt},
    {{"5", "-U", "-H9"}, 0x1808, 5, 9, std::nullopt},
};
// clang-format on

void expectLine(const OptionLineCase& c) {
    SCOPED_TRACE(describe(c.words));
    Arguments arguments(c.words);
    const CommandLine line = parseOptions(arguments.count(), arguments.vector());
    EXPECT_EQ(line.flags, c.flags)
        << std::hex << "flags 0x" << line.flags << ", expected 0x" << c.flags;
    if (c.rootPid) {
        EXPECT_EQ(line.rootPid, *c.rootPid);
    }
    EXPECT_EQ(line.highlightPid, c.highlightPid == ownPid ? ownPidInTable() : c.highlightPid);
    EXPECT_EQ(line.userName, c.userName);
}

// Run twice in one process: each call must start from a fresh getopt state,
// whatever the call before it left behind.
TEST(ParseOptionsTest, CommandLinesGiveTheirFlagsAndSelection) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        for (const OptionLineCase& c : optionLineCases) expectLine(c);
    }
}

// getopt_long's own diagnostic, in the library's wording: one line that
// names the option.
testing::Matcher<const std::string&> diagnosticNaming(const std::string& option) {
    return testing::MatchesRegex("[^\n]*" + option + "[^\n]*\n");
}

// Help, version and errors end the process where their option stands: the
// first of them decides, and positional arguments are looked at only after
// every option.
TEST(ParseOptionsDeathTest, FirstEndingOptionDecides) {
    const std::string help = helpText("vindle");
    const std::string shortVersion = std::string("vindle ") + vindleVersion + "\n";
    struct EndingLine {
        std::vector<std::string> words;
        int status;
        testing::Matcher<const std::string&> err;
        std::string out;
    };
    const EndingLine lines[] = {
        {{"--high"}, 1, diagnosticNaming("--high"), help},
        {{"-a", "--high", "-h"}, 1, diagnosticNaming("--high"), help},
        {{"-x", "-h"}, 1, diagnosticNaming("x"), help},
        {{"-h", "-x"}, 0, "", help},
        {{"-h", "-Vs"}, 0, "", help},
        {{"-Vs", "-h"}, 0, "", shortVersion},
        {{"-Vs", "--high"}, 0, "", shortVersion},
        {{"-Hx", "--pid=y"}, 1, warning("Number is invalid", "x"), help},
        {{"--pid=y", "-Vs"}, 1, warning("Number is invalid", "y"), help},
        {{"2147483648", "-Vs"}, 0, "", shortVersion},
        {{"2147483648", "-x"}, 1, diagnosticNaming("x"), help},
        {{"root", "2147483648", "x5"}, 1, warning("Number is too large", "2147483648"), help},
        {{"-k", "--", "-5", "2147483648"}, 1, warning("Number is too small", "-5"), help},
    };
    for (const EndingLine& c : lines) {
        SCOPED_TRACE(describe(c.words));
        const std::string out = stdoutOfExit(
            [&] {
                Arguments arguments(c.words);
                parseOptions(arguments.count(), arguments.vector());
            },
            c.status, c.err);
        EXPECT_EQ(out, c.out);
    }
}

}  // namespace
