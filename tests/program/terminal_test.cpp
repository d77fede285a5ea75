// vindle on a real pseudo-terminal: the width it takes from the terminal
// description, the window size and the environment, automatic margins, and
// the drawing set it chooses on a terminal and on a pipe.
// ctest: one-process (its suites share the terminal descriptions and trees)
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "support/escapes.h"
#include "support/program/process_tree.h"
#include "support/program/pty.h"
#include "support/program/run_program.h"
#include "support/program/scratch_directory.h"

namespace {

// Descriptions of our own, compiled with tic for the tests.
constexpr const char* descriptions =
    "vindle-am-xenl|wraps at the margin and ignores a newline right after,\n"
    "\tam, xenl,\n"
    "\tcols#30, lines#10,\n"
    "vindle-am|wraps at the margin and then takes a newline as another line,\n"
    "\tam,\n"
    "\tcols#30, lines#10,\n"
    "vindle-no-am|never wraps by itself,\n"
    "\tcols#30, lines#10,\n"
    "vindle-no-cols|says nothing of its width,\n"
    "\tam, xenl,\n";

// A tree with one line longer than 80 columns, selected with --pid.
const char* const wideTree =
    "vtroot(alpha(omega-long-name(second-long-nam(third-long-name(fourth-long-nam(fifth-long-name))"
    "))) beta)";
const std::string wideFirstLine =
    "vtroot-+-alpha---omega-long-name---second-long-nam---third-long-name---fourth-long-nam---"
    "fifth-long-name";
const std::string wideSecondLine = "       `-beta";

// The drawing sets, on a small tree.
const char* const drawingTree = "vtdraw(a b(c))";

// `count` times "é", two bytes and one column.
std::string eAcutes(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += "\xc3\xa9";
    return text;
}

// A process titled "café" (five bytes, four columns) with an argument of
// forty "é", a group of two children and one more.
ProcessPlan cafeTree() {
    return {.name = "vtcafe",
            .argv = {"caf\xc3\xa9", eAcutes(40)},
            .children = {{.name = "sleep"}, {.name = "sleep"}, {.name = "zz"}}};
}

// What every test here reads: the descriptions and the trees, set up once
// and torn down when the test program ends.
struct Fixtures {
    TerminfoDirectory terminfo{descriptions};
    ProcessTree wide{wideTree};
    ProcessTree drawing{drawingTree};
    ProcessTree cafe{cafeTree()};
};

Fixtures& fixtures() {
    static Fixtures shared;
    return shared;
}

// An ASCII line cut to `width` columns.
std::string cut(const std::string& line, std::size_t width) {
    return line.size() <= width ? line : line.substr(0, width - 1) + "+";
}

// The two lines of the wide tree on a terminal `width` columns wide.
std::string wideOutput(std::size_t width, bool newlineAtMargin = true) {
    std::string output;
    for (const std::string& line : {wideFirstLine, wideSecondLine}) {
        const std::string shown = cut(line, width);
        output += shown;
        if (newlineAtMargin || shown.size() < width) output += '\n';
    }
    return output;
}

struct WidthCase {
    const char* name;
    std::vector<std::string> environment;  // besides TERMINFO and LC_ALL=C
    TerminalSize size;
    std::vector<std::string> options;
    std::string output;
};

void PrintTo(const WidthCase& c, std::ostream* out) { *out << c.name; }

// clang-format off
const WidthCase widthCases[] = {
    // ncurses puts the window size before the description's cols...
    {"WindowSizeBeforeTheDescription", {"TERM=vindle-am-xenl"}, {10, 20}, {}, wideOutput(20)},
    {"WindowWidthWithoutRows", {"TERM=vindle-am-xenl"}, {0, 24}, {}, wideOutput(24)},
    {"DescriptionWhenTheWindowHasNoSize", {"TERM=vindle-am-xenl"}, {0, 0}, {}, wideOutput(30)},
    // ...and COLUMNS before both.
    {"ColumnsVariableBeforeTheWindow", {"TERM=vindle-am-xenl", "COLUMNS=40", "LINES=5"}, {10, 20}, {},
     wideOutput(40)},
    {"ZeroColumnsVariableIsIgnored", {"TERM=vindle-am-xenl", "COLUMNS=0"}, {10, 20}, {}, wideOutput(20)},
    // Without cols the window decides; with neither, ncurses assumes 80
    // columns, so its answer is never "no width".
    {"NoColsTakesTheWindow", {"TERM=vindle-no-cols"}, {10, 25}, {}, wideOutput(25)},
    {"NoColsAndNoWindowSize", {"TERM=vindle-no-cols"}, {0, 0}, {}, wideOutput(80)},
    // No description at all: 80 columns, whatever the window.
    {"TermUnset", {}, {10, 20}, {}, wideOutput(80)},
    {"TermUnknown", {"TERM=vindle-no-such-terminal"}, {10, 20}, {}, wideOutput(80)},
    {"TermUnknownWithColumnsVariable", {"TERM=vindle-no-such-terminal", "COLUMNS=30"}, {10, 20}, {}, wideOutput(80)},
    // --long: never cut.
    {"LongOnANarrowTerminal", {"TERM=vindle-am-xenl"}, {10, 20}, {"-l"}, wideOutput(1000)},
    {"LongWithoutDescription", {}, {10, 20}, {"--long"}, wideOutput(1000)},
    // Automatic margins: a line that reaches the last column, cut or exactly
    // full, ends without a newline only when the terminal wraps by itself and
    // would take the newline as one more line.
    {"AutoMarginWithoutXenl", {"TERM=vindle-am"}, {10, 13}, {}, wideOutput(13, false)},
    {"AutoMarginWithXenl", {"TERM=vindle-am-xenl"}, {10, 13}, {}, wideOutput(13)},
    {"NoAutoMargin", {"TERM=vindle-no-am"}, {10, 13}, {}, wideOutput(13)},
    {"AutoMarginWithoutXenlShorterLines", {"TERM=vindle-am"}, {10, 14}, {}, wideOutput(14, false)},
    // The terminal wraps at its own edge, not at a narrower COLUMNS: there a
    // full line is followed by its newline. A COLUMNS equal to the window's
    // width is the terminal's own; without a window size, COLUMNS is not.
    {"AutoMarginColumnsBelowTheWindow", {"TERM=vindle-am", "COLUMNS=13"}, {10, 50}, {}, wideOutput(13)},
    {"AutoMarginColumnsAsWideAsTheWindow", {"TERM=vindle-am", "COLUMNS=13"}, {10, 13}, {},
     wideOutput(13, false)},
    {"AutoMarginColumnsWithoutAWindowSize", {"TERM=vindle-am", "COLUMNS=13"}, {0, 0}, {}, wideOutput(13)},
    {"AutoMarginDescriptionWithoutAWindowSize", {"TERM=vindle-am"}, {0, 0}, {}, wideOutput(30, false)},
};
// clang-format on

class TerminalWidth : public testing::TestWithParam<WidthCase> {};

TEST_P(TerminalWidth, CutsLinesAsTheTerminalIsWide) {
    const WidthCase& c = GetParam();
    std::vector<std::string> environment{"TERMINFO=" + fixtures().terminfo.path(), "LC_ALL=C"};
    environment.insert(environment.end(), c.environment.begin(), c.environment.end());
    std::vector<std::string> arguments{"-A", "--pid=" + std::to_string(fixtures().wide.topPid())};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const ProgramResult result = runOnTerminal(vindlePath(), arguments, c.size, environment);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, c.output);
}

INSTANTIATE_TEST_SUITE_P(Cases, TerminalWidth, testing::ValuesIn(widthCases),
                         [](const testing::TestParamInfo<WidthCase>& test) {
                             return std::string(test.param.name);
                         });

const std::string asciiDrawing = "vtdraw-+-a\n       `-b---c\n";
const std::string unicodeDrawing = "vtdraw─┬─a\n       └─b───c\n";
const std::string vt100Drawing =
    "vtdraw" + drawn("qwq") + "a\n" + drawn("       mq") + "b" + drawn("qqq") + "c\n";

struct DrawingCase {
    const char* name;
    bool onTerminal;
    std::vector<std::string> environment;  // besides TERM and TERMINFO
    std::vector<std::string> options;
    std::string output;
};

void PrintTo(const DrawingCase& c, std::ostream* out) { *out << c.name; }

// clang-format off
const DrawingCase drawingCases[] = {
    {"TerminalInPosixLocale", true, {"LC_ALL=C"}, {}, vt100Drawing},
    {"TerminalInUtf8", true, {"LC_ALL=C.UTF-8"}, {}, unicodeDrawing},
    {"TerminalUtf8FromLang", true, {"LANG=C.UTF-8"}, {}, unicodeDrawing},
    {"TerminalInMissingLocale", true, {"LC_ALL=xx_XX.NO-SUCH-CHARSET"}, {}, vt100Drawing},
    {"TerminalUnicodeOptionInPosixLocale", true, {"LC_ALL=C"}, {"-U"}, vt100Drawing},
    {"TerminalUnicodeOptionInUtf8", true, {"LC_ALL=C.UTF-8"}, {"-U"}, unicodeDrawing},
    {"TerminalVt100OptionInUtf8", true, {"LC_ALL=C.UTF-8"}, {"-G"}, vt100Drawing},
    {"TerminalAsciiOptionInUtf8", true, {"LC_ALL=C.UTF-8"}, {"-A"}, asciiDrawing},
    {"TerminalAsciiOptionInPosixLocale", true, {"LC_ALL=C"}, {"--ascii"}, asciiDrawing},
    {"PipeInUtf8", false, {"LC_ALL=C.UTF-8"}, {}, asciiDrawing},
    {"PipeInPosixLocale", false, {"LC_ALL=C"}, {}, asciiDrawing},
    {"PipeUnicodeOptionInUtf8", false, {"LC_ALL=C.UTF-8"}, {"-U"}, unicodeDrawing},
    {"PipeUnicodeOptionInPosixLocale", false, {"LC_ALL=C"}, {"-U"}, vt100Drawing},
    {"PipeUnicodeOptionInMissingLocale", false, {"LC_ALL=xx_XX.NO-SUCH-CHARSET"}, {"-U"}, vt100Drawing},
    {"PipeVt100Option", false, {"LC_ALL=C.UTF-8"}, {"-G"}, vt100Drawing},
    {"PipeAsciiOption", false, {"LC_ALL=C.UTF-8"}, {"-A"}, asciiDrawing},
};
// clang-format on

class DrawingSetChoice : public testing::TestWithParam<DrawingCase> {};

TEST_P(DrawingSetChoice, DrawsWithTheChosenSet) {
    const DrawingCase& c = GetParam();
    std::vector<std::string> environment{"TERMINFO=" + fixtures().terminfo.path(),
                                         "TERM=vindle-am-xenl"};
    environment.insert(environment.end(), c.environment.begin(), c.environment.end());
    std::vector<std::string> arguments{"--pid=" + std::to_string(fixtures().drawing.topPid())};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    ProgramResult result;
    if (c.onTerminal) {
        result = runOnTerminal(vindlePath(), arguments, {24, 100}, environment);
    } else {
        ProgramOptions options;
        options.environment = environment;
        options.replaceEnvironment = true;
        result = runVindle(arguments, options);
    }
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, c.output);
}

INSTANTIATE_TEST_SUITE_P(Cases, DrawingSetChoice, testing::ValuesIn(drawingCases),
                         [](const testing::TestParamInfo<DrawingCase>& test) {
                             return std::string(test.param.name);
                         });

// A terminal in the POSIX locale draws with the VT100 set; cut drawing
// segments keep their escapes around the cut text.
TEST(TerminalCut, Vt100LineCutInsideADrawingRun) {
    const std::vector<std::string> environment{"TERMINFO=" + fixtures().terminfo.path(),
                                               "TERM=vindle-am-xenl", "LC_ALL=C"};
    const ProgramResult result =
        runOnTerminal(vindlePath(), {"--pid=" + std::to_string(fixtures().drawing.topPid())},
                      {10, 8}, environment);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "vtdraw" + drawn("q+") + "\n" + drawn(std::string(7, ' ') + "+") + "\n");
}

// On a terminal that wraps by itself at its last column and takes a newline
// there as one more line, a line ends without its newline only when it
// fills the screen line. A multibyte label counts the columns it takes, not
// its bytes: the cut line below reaches the edge, and the child below the
// label stands under its down tee.
TEST(TerminalCut, AutoMarginLineWithMultibyteLabelCountsItsColumns) {
    const std::vector<std::string> environment{"TERMINFO=" + fixtures().terminfo.path(),
                                               "TERM=vindle-am", "LC_ALL=C.UTF-8"};
    const ProgramResult result = runOnTerminal(
        vindlePath(), {"-U", "-t", "--pid=" + std::to_string(fixtures().cafe.topPid())}, {10, 13},
        environment);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "caf\xc3\xa9\u2500\u252c\u25002*[sl+"
              "     \u2514\u2500zz\n");
}

// A cut argument keeps whole characters, as many as fill the columns before
// its dots; here they reach the edge, so the terminal wraps by itself.
TEST(TerminalCut, CutArgumentKeepsWholeCharactersToTheEdge) {
    const std::vector<std::string> environment{"TERMINFO=" + fixtures().terminfo.path(),
                                               "TERM=vindle-am", "LC_ALL=C.UTF-8"};
    const ProgramResult result = runOnTerminal(
        vindlePath(), {"-U", "-a", "--pid=" + std::to_string(fixtures().cafe.topPid())}, {10, 13},
        environment);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, "vtcafe " + eAcutes(3) +
                              "..."
                              "  \u251c\u2500sleep\n"
                              "  \u251c\u2500sleep\n"
                              "  \u2514\u2500zz\n");
}

// Drawing characters of several bytes take one column each: Unicode lines
// that reach the width fill the screen line and end without a newline.
TEST(TerminalCut, AutoMarginUnicodeDrawingReachingTheEdgeWrapsByItself) {
    const std::vector<std::string> environment{"TERMINFO=" + fixtures().terminfo.path(),
                                               "TERM=vindle-am", "LC_ALL=C.UTF-8"};
    const ProgramResult result =
        runOnTerminal(vindlePath(), {"-U", "--pid=" + std::to_string(fixtures().wide.topPid())},
                      {10, 13}, environment);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, "vtroot\u2500\u252c\u2500alp+       \u2514\u2500beta");
}

// A copy of the system's compiled xterm-256color with the low byte of its
// header's count of string capabilities (offset 8) set to 0xFF: Debian's
// libtinfo 6.4 overruns its heap reading it, and glibc then aborts the
// program that called it ("double free or corruption"). vindle must neither
// crash nor say anything: the terminal counts as one terminfo does not know.
class BrokenDescription {
  public:
    BrokenDescription() {
        for (const char* system : {"/lib/terminfo", "/usr/share/terminfo", "/etc/terminfo"}) {
            const std::filesystem::path entry = std::filesystem::path(system) / "x" / name;
            if (!std::filesystem::exists(entry)) continue;
            std::filesystem::create_directories(path() / "x");
            std::filesystem::copy_file(entry, path() / "x" / name);
            std::fstream file(path() / "x" / name, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(8);
            file.put(static_cast<char>(0xff));
            found = file.good();
            return;
        }
    }
    // The directory that holds it, as TERMINFO or TERMINFO_DIRS name it.
    std::filesystem::path path() const { return home.path / ".terminfo"; }
    // A home directory whose ~/.terminfo holds it.
    std::string homePath() const { return home.path.string(); }
    bool found = false;
    static constexpr const char* name = "xterm-256color";

  private:
    ScratchDirectory home;
};

TEST(BrokenTerminalDescription, CountsAsAnUnknownTerminal) {
    const BrokenDescription broken;
    if (!broken.found) GTEST_SKIP() << "no compiled xterm-256color on this system";
    const std::string directory = broken.path().string();
    for (const std::string& place :
         {"TERMINFO=" + directory, "TERMINFO_DIRS=" + directory, "HOME=" + broken.homePath()}) {
        SCOPED_TRACE(place);
        const ProgramResult result = runOnTerminal(
            vindlePath(), {"-A", "--pid=" + std::to_string(fixtures().wide.topPid())}, {10, 20},
            {place, std::string("TERM=") + BrokenDescription::name, "LC_ALL=C"});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.out, wideOutput(80));
    }
}

// The terminfo library reads a description with large buffers on its stack.
// Under a small stack limit, on a terminal, a run prints the whole tree as
// it does without the limit, or ends with a message and status 1: never a
// signal.
TEST(TerminalStack, ASmallStackIsEnoughOnATerminal) {
    const std::vector<std::string> environment{"TERM=xterm", "LC_ALL=C"};
    const std::vector<std::string> arguments{"-p",
                                             "--pid=" + std::to_string(fixtures().wide.topPid())};
    const ProgramResult whole = runOnTerminal(vindlePath(), arguments, {24, 100}, environment);
    ASSERT_EQ(whole.status, 0) << whole.err;
    for (const unsigned long long kib :
         {20ull, 24ull, 32ull, 48ull, 64ull, 100ull, 112ull, 128ull}) {
        SCOPED_TRACE(std::to_string(kib) + " KiB");
        const ProgramResult result =
            runProgram(vindlePath(), arguments,
                       {.environment = environment,
                        .replaceEnvironment = true,
                        .output = StandardOutput::terminal,
                        .terminalSize = {24, 100},
                        .limits = {{.resource = RLIMIT_STACK, .value = kib * 1024}}});
        if (result.status == 0) {
            EXPECT_EQ(result.out, whole.out);
        } else {
            EXPECT_EQ(result.status, 1) << result.out;
            EXPECT_NE(result.err, "");
        }
    }
}

}  // namespace
