#include "render/line_writer.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "support/memory_stream.h"

namespace {

// Switches the character-type locale for one test and back to "C" after it.
class CharacterLocale {
  public:
    explicit CharacterLocale(const char* name) {
        active = std::setlocale(LC_CTYPE, name) != nullptr;
    }
    ~CharacterLocale() { std::setlocale(LC_CTYPE, "C"); }
    CharacterLocale(const CharacterLocale&) = delete;
    CharacterLocale& operator=(const CharacterLocale&) = delete;
    bool active = false;
};

// One call on the writer: a write, an argument, or the label of a group of
// identical processes, whose prefix owes a "]" at the end of the line.
struct Step {
    enum Kind { Write, Argument, Group } kind;
    std::uint64_t width = 0;
    SegmentMode mode = SegmentMode::Plain;
    std::string text;
    bool last = false;
};

Step piece(std::uint64_t width, std::string text, SegmentMode mode = SegmentMode::Plain) {
    return {Step::Write, width, mode, std::move(text), false};
}
Step filler(std::uint64_t width) { return piece(width, std::string(width, '.')); }
Step argument(std::string text, bool last) {
    return {Step::Argument, 0, SegmentMode::Plain, std::move(text), last};
}
// A node's label with its group prefix, "2*[": the first child of the node
// before it, or a root.
Step group(std::string label) {
    return {Step::Group, 2, SegmentMode::Plain, std::move(label), false};
}

struct LineCase {
    const char* name;
    std::optional<std::uint64_t> columns;  // none: lines are never cut
    std::vector<Step> steps;
    std::uint64_t column;  // after the steps, before endLine
    bool truncated;
    std::string printed;  // what endLine prints, newline included
    const char* locale = "C";
    bool autoMarginNoXenl = false;
    WidthSource source = WidthSource::Terminal;
};

void PrintTo(const LineCase& c, std::ostream* out) { *out << c.name; }

void apply(LineWriter& writer, const Step& step) {
    switch (step.kind) {
        case Step::Write:
            writer.write(step.width, step.mode, step.text);
            break;
        case Step::Argument:
            writer.writeArgument(step.text, step.last);
            break;
        case Step::Group:
            writer.enterChild(true, true);
            writer.writeLabel(step.text, false, std::optional<std::uint64_t>(step.width));
            break;
    }
}

const std::string dots18(18, '.');
const std::string dots16(16, '.');
const std::string dots10(10, '.');
const std::string cafe = "caf\xc3\xa9";  // five bytes, four columns
const std::string eAcute = "\xc3\xa9";

std::string repeated(const std::string& text, std::size_t count) {
    std::string result;
    for (std::size_t i = 0; i < count; ++i) result += text;
    return result;
}

// clang-format off
const LineCase lineCases[] = {
    // No limit: nothing is ever cut.
    {"NoLimitKeepsEverything", std::nullopt,
     {piece(40, std::string(40, 'a')), piece(50, std::string(50, 'b')), argument(std::string(300, 'c'), false),
      argument("d", true)},
     393, false, std::string(40, 'a') + std::string(50, 'b') + " " + std::string(300, 'c') + " d\n"},
    {"NoLimitKeepsNoRoomForTheEllipsis", std::nullopt,
     {piece(30, std::string(30, 'a')), argument("argument", false), argument("x", true)},
     41, false, std::string(30, 'a') + " argument x\n"},
    // Cutting a piece.
    {"CutPieceKeepsWidthMinusOneCharacters", 20, {filler(18), piece(5, "abcde"), piece(3, "xyz")},
     20, true, dots18 + "a+\n"},
    {"CutToOneColumnIsPlusAlone", 20, {filler(19), piece(3, "abc")}, 20, true, std::string(19, '.') + "+\n"},
    {"ShortTextWithLargeWidthCutToFour", 20, {filler(16), piece(5, "ab")}, 20, true, dots16 + "ab+\n"},
    {"FittingExactlyIsNoCut", 20, {filler(16), piece(4, "abcd")}, 20, false, dots16 + "abcd\n"},
    {"ExactlyFullLineRecutsLastPiece", 20, {filler(16), piece(4, "abcd"), piece(3, "xyz"), piece(1, "z")},
     20, true, dots16 + "abc+\n"},
    {"ExactlyFullLineRecutsEvenForAZeroWidthWrite", 20, {filler(16), piece(4, "abcd"), piece(0, "")},
     20, false, dots16 + "abcd\n"},
    {"WidthZeroLabelOnFullLineRecutsThePieceBeforeIt", 20,
     {filler(16), piece(4, "abcd"), piece(0, "", SegmentMode::Bold), piece(2, "xy")},
     20, true, dots16 + "abc+\x1b[1m\x1b[22m\n"},
    // Multibyte text is cut by characters of the locale.
    {"UnicodeCutNeverSplitsACharacter", 10, {filler(6), piece(6, "h\xc3\xa9llo")},
     10, true, "......h\xc3\xa9l+\n", "C.UTF-8"},
    {"UnicodeDrawingCutCountsCharacters", 10,
     {filler(6), piece(7, "  \xe2\x94\x9c\xe2\x94\x80\xe2\x94\x80\xe2\x94\x80", SegmentMode::Plain)},
     10, true, "......  \xe2\x94\x9c+\n", "C.UTF-8"},
    {"WideCharactersCutToTheColumnsTheyFill", 10,
     {filler(4), piece(24, "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe3\x82\xbf\xe3\x82\xa4\xe3\x83\x88\xe3\x83\xab")},
     10, true, "....\xe6\x97\xa5\xe6\x9c\xac+\n", "C.UTF-8"},
    {"WideCharacterThatWouldPassTheCutIsLeftOut", 10, {filler(6), piece(5, "a\xe6\x97\xa5" "b")},
     10, true, "......a\xe6\x97\xa5+\n", "C.UTF-8"},
    {"InvalidSequenceEndsTheCut", 10, {filler(4), piece(8, "ab\xff" "cdefg")}, 10, true, "....ab+\n",
     "C.UTF-8"},
    {"CombiningMarkCountsNoColumn", 10, {filler(6), piece(8, "e\xcc\x81" "abcd")},
     10, true, "......e\xcc\x81" "ab+\n", "C.UTF-8"},
    {"NonAsciiInPosixLocaleEndsTheCut", 10, {filler(6), piece(6, "h\xc3\xa9llo")}, 10, true, "......h+\n"},
    // Arguments.
    {"NonFinalArgumentCutWithDots", 20, {filler(10), argument("0123456789", false)},
     20, true, dots10 + " 012345...\n"},
    {"FinalArgumentMayFillTheLine", 20, {filler(10), argument("123456789", true)},
     20, false, dots10 + " 123456789\n"},
    {"NonFinalArgumentLeavingThreeColumnsShownWholeWithDots", 20, {filler(10), argument("abcdef", false)},
     20, true, dots10 + " abcdef...\n"},
    {"NonFinalArgumentLeavingFourColumnsFits", 20, {filler(10), argument("abcde", false)},
     16, false, dots10 + " abcde\n"},
    {"ArgumentWithThreeColumnsLeftFinal", 20, {filler(17), argument("abc", true)}, 20, true,
     std::string(17, '.') + " ..\n"},
    {"ArgumentWithThreeColumnsLeftNonFinal", 20, {filler(17), argument("abc", false)}, 20, true,
     std::string(17, '.') + " ..\n"},
    {"ArgumentWithFourColumnsLeft", 20, {filler(16), argument("abcdefgh", true)}, 20, true, dots16 + " ...\n"},
    // A line that loses an argument says so: one column left shows a dot,
    // none the "+" of a cut on the piece before.
    {"ArgumentWithOneColumnLeftIsADot", 20, {filler(19), argument("abcdefgh", true)}, 20, true,
     std::string(19, '.') + ".\n"},
    {"ArgumentOnFullLineCutsTheLastPiece", 20,
     {filler(16), piece(4, "abcd"), argument("a", true), piece(1, "b")},
     20, true, dots16 + "abc+\n"},
    // A cut argument keeps the whole characters that fill the columns
    // before its dots, by the columns they take on the terminal.
    {"ArgumentCutKeepsWholeCharacters", 12, {filler(5), argument(repeated(eAcute, 4), false)},
     12, true, "..... " + repeated(eAcute, 3) + "...\n", "C.UTF-8"},
    {"FinalArgumentCutKeepsWholeCharacters", 12, {filler(5), argument(repeated(eAcute, 40), true)},
     12, true, "..... " + repeated(eAcute, 3) + "...\n", "C.UTF-8"},
    {"WideCharacterThatWouldPassTheDotsIsLeftOut", 12,
     {filler(5), argument("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae", true)},
     12, true, "..... \xe6\x97\xa5...\n", "C.UTF-8"},
    {"CombiningMarksStayWithTheirCharacter", 12, {filler(5), argument("ae\xcc\x81" "e\xcc\x81" "bcdef", true)},
     12, true, "..... ae\xcc\x81" "e\xcc\x81...\n", "C.UTF-8"},
    {"InvalidSequenceEndsTheArgumentCut", 12, {filler(5), argument("a\xff" "bcdefgh", true)},
     12, true, "..... a...\n", "C.UTF-8"},
    {"NothingAfterACutArgument", 20, {filler(10), argument("0123456789", false), argument("x", true)},
     20, true, dots10 + " 012345...\n"},
    // Closing brackets: a group's "]" is paid at the end of the line, when it
    // is not cut.
    {"ClosersWithRoom", 20, {group("sh"), group("getty")}, 16, false, "2*[sh---2*[getty]]\n"},
    {"ClosersOnTruncatedLineAreLost", 10, {group("ab"), filler(3), piece(5, "getty")}, 10, true,
     "2*[ab...g+\n"},
    {"CloserOnExactlyFullLineRecutsLastPiece", 10, {group("ab"), filler(1), piece(4, "sshd")}, 10, false,
     "2*[ab.ssh+\n"},
    {"CloserThatOverflowsIsCut", 12, {group("a"), group("b")}, 11, false, "2*[a---2*[b+\n"},
    // Escapes.
    {"DrawingRunsShareOneEscapePair", std::nullopt,
     {piece(2, "qq", SegmentMode::Drawing), piece(3, "  x", SegmentMode::Drawing), piece(4, "init"),
      piece(3, "qwq", SegmentMode::Drawing)},
     12, false, "\x1b(0\x0fqq  x\x1b(B\x0finit\x1b(0\x0fqwq\x1b(B\x0f\n"},
    {"BoldSegmentsEachEnclosed", std::nullopt,
     {piece(3, "qwq", SegmentMode::Drawing), piece(2, "ab", SegmentMode::Bold), piece(2, "cd", SegmentMode::Bold),
      piece(3, "2*["), piece(2, "ef", SegmentMode::Bold)},
     12, false,
     "\x1b(0\x0fqwq\x1b(B\x0f\x1b[1mab\x1b[22m\x1b[1mcd\x1b[22m2*[\x1b[1mef\x1b[22m\n"},
    {"CutDrawingKeepsItsEscapes", 6, {piece(4, "init"), piece(3, "qwq", SegmentMode::Drawing)}, 6, true,
     "init\x1b(0\x0fq+\x1b(B\x0f\n"},
    {"EmptyLine", 20, {}, 0, false, "\n"},
    // Automatic margins without xenl: a line that reaches the last column has
    // already moved the cursor to the next line.
    {"AutoMarginExactlyFullHasNoNewline", 10, {filler(10)}, 10, false, std::string(10, '.'), "C", true},
    {"AutoMarginCutLineHasNoNewline", 10, {filler(8), piece(5, "abcde")}, 10, true, "........a+", "C", true},
    {"AutoMarginCutArgumentHasNoNewline", 10, {filler(8), argument("abcde", true)}, 10, true, "........ .",
     "C", true},
    {"AutoMarginShorterLineHasNewline", 10, {filler(9)}, 9, false, std::string(9, '.') + "\n", "C", true},
    // Text of several bytes per character takes fewer columns on the screen
    // than it is counted for: the line ends with a newline unless its
    // characters fill the screen line.
    {"AutoMarginMultibyteLabelShortOfTheScreenHasNewline", 10, {filler(5), piece(5, cafe)},
     10, false, "....." + cafe + "\n", "C.UTF-8", true},
    {"AutoMarginCutAfterMultibyteLabelHasNewline", 10, {piece(5, cafe), piece(5, "sleep"), piece(5, "sleep")},
     10, true, cafe + "slee+\n", "C.UTF-8", true},
    {"AutoMarginCutArgumentFillingTheScreenHasNoNewline", 12, {filler(5), argument(repeated(eAcute, 8), true)},
     12, true, "..... " + repeated(eAcute, 3) + "...", "C.UTF-8", true},
    {"AutoMarginCutArgumentAfterMultibyteLabelHasNewline", 12, {piece(5, cafe), argument(repeated(eAcute, 8), true)},
     12, true, cafe + " " + repeated(eAcute, 3) + "...\n", "C.UTF-8", true},
    {"AutoMarginWideCharactersShortOfTheScreenHaveNewline", 10, {filler(4), piece(6, "\xe6\x97\xa5\xe6\x9c\xac")},
     10, false, "....\xe6\x97\xa5\xe6\x9c\xac\n", "C.UTF-8", true},
    {"AutoMarginAsciiInUtf8FillingTheScreenHasNoNewline", 10, {filler(8), piece(5, "abcde")},
     10, true, "........a+", "C.UTF-8", true},
    // The same lines where COLUMNS set the width below the window's: the
    // terminal does not wrap there, so every line ends with a newline. A
    // width that is the terminal's own, or no width at all, is as before.
    {"ColumnsBelowTheWindowFullLineHasNewline", 10, {filler(10)}, 10, false,
     std::string(10, '.') + "\n", "C", true, WidthSource::Environment},
    {"ColumnsBelowTheWindowCutLineHasNewline", 10, {filler(8), piece(5, "abcde")}, 10, true,
     "........a+\n", "C", true, WidthSource::Environment},
    {"ColumnsBelowTheWindowCutArgumentHasNewline", 10, {filler(8), argument("abcde", true)}, 10, true,
     "........ .\n", "C", true, WidthSource::Environment},
    {"UnknownTerminalFullLineHasNewline", 10, {filler(10)}, 10, false,
     std::string(10, '.') + "\n", "C", true, WidthSource::Fallback},
    {"WithoutAutoMarginsColumnsChangeNothing", 10, {filler(10)}, 10, false,
     std::string(10, '.') + "\n", "C", false, WidthSource::Environment},
};
// clang-format on

class LineComposer : public testing::TestWithParam<LineCase> {};

// A style of the ASCII set, or of `drawing`, `columns` wide.
OutputStyle style(std::optional<std::uint64_t> columns, bool autoMarginNoXenl = false,
                  DrawingChoice drawing = {asciiSet, false},
                  WidthSource source = WidthSource::Terminal) {
    return {drawing, columns, autoMarginNoXenl, source};
}

TEST_P(LineComposer, ComposesCutsAndPrintsTheLine) {
    const LineCase& c = GetParam();
    CharacterLocale locale(c.locale);
    ASSERT_TRUE(locale.active) << c.locale;
    MemoryStream memory;
    LineWriter writer(style(c.columns, c.autoMarginNoXenl, {asciiSet, false}, c.source), {},
                      memory.stream());
    for (const Step& step : c.steps) apply(writer, step);
    EXPECT_EQ(memory.text(), "") << "nothing is printed before the line ends";
    EXPECT_EQ(writer.usedColumns(), c.column);
    EXPECT_EQ(writer.isTruncated(), c.truncated);
    if (c.columns) {
        EXPECT_LE(writer.usedColumns(), *c.columns);
    }
    writer.endLine();
    EXPECT_EQ(memory.text(), c.printed);
    EXPECT_EQ(writer.usedColumns(), 0u);
    EXPECT_FALSE(writer.isTruncated());
    // Nothing of the line is left over: no piece and no "]".
    writer.endLine();
    EXPECT_EQ(memory.text(), c.printed + "\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, LineComposer, testing::ValuesIn(lineCases),
                         [](const testing::TestParamInfo<LineCase>& test) {
                             return std::string(test.param.name);
                         });

// A cut piece takes the room that was left, whatever the length of its
// text, and keeps its mode.
TEST(LineComposerState, CutWidthIsTheRoomLeftWhateverTheTextLength) {
    MemoryStream memory;
    LineWriter writer(style(20), {}, memory.stream());
    writer.write(18, SegmentMode::Plain, std::string(18, '.'));
    writer.write(5, SegmentMode::Bold, "abcde");
    EXPECT_EQ(writer.usedColumns(), 20u);
    writer.endLine();
    EXPECT_EQ(memory.text(), std::string(18, '.') + "\x1b[1ma+\x1b[22m\n");
}

TEST(LineComposerState, RecutKeepsWidthAndModeOfTheLastPiece) {
    MemoryStream memory;
    LineWriter writer(style(10), {}, memory.stream());
    writer.write(6, SegmentMode::Plain, "......");
    writer.write(4, SegmentMode::Drawing, "  mq");
    writer.write(2, SegmentMode::Plain, "vi");
    EXPECT_EQ(writer.usedColumns(), 10u);
    writer.endLine();
    EXPECT_EQ(memory.text(), "......\x1b(0\x0f  m+\x1b(B\x0f\n");
}

TEST(LineComposerState, EachLineStartsFresh) {
    MemoryStream memory;
    LineWriter writer(style(10), {}, memory.stream());
    writer.writeLabel("ab", false, 2);
    writer.write(5, SegmentMode::Plain, "abcde");
    writer.endLine();
    writer.leaveNode();
    writer.writeLabel("abc", false, 2);
    writer.endLine();
    writer.leaveNode();
    writer.endLine();
    EXPECT_EQ(memory.text(), "2*[ababcd+\n2*[abc]\n\n");
}

// Drawing characters of several bytes take one column each: a line of
// Unicode drawing that reaches the width fills the screen line.
TEST(LineComposerState, AutoMarginUnicodeDrawingFillingTheScreenHasNoNewline) {
    CharacterLocale locale("C.UTF-8");
    ASSERT_TRUE(locale.active);
    for (const std::uint64_t columns : {7u, 8u}) {
        MemoryStream memory;
        LineWriter writer(style(columns, true, {unicodeSet, false}), {}, memory.stream());
        writer.writeLabel("ab", false, std::nullopt);
        writer.enterChild(true, false);
        writer.writeLabel("cd", false, std::nullopt);
        writer.endLine();
        writer.leaveNode();
        writer.enterChild(false, true);
        writer.writeLabel("ef", false, std::nullopt);
        writer.endLine();
        writer.leaveNode();
        writer.leaveNode();
        const std::string newline = columns == 7 ? "" : "\n";
        EXPECT_EQ(memory.text(), "ab\u2500\u252c\u2500cd" + newline + "   \u2514\u2500ef" + newline)
            << columns << " columns";
    }
}

// One tree drawn through the writer's protocol: a root, its first child with
// two children of its own, and its second child. Labels are what the
// labeller makes: encoded text in the locale in force.
std::string drawTree(LineWriter& writer, MemoryStream& memory, const std::string (&labels)[5]) {
    writer.writeLabel(labels[0], false, std::nullopt);
    writer.enterChild(true, false);
    writer.writeLabel(labels[1], false, std::nullopt);
    writer.enterChild(true, false);
    writer.writeLabel(labels[2], false, std::nullopt);
    writer.endLine();
    writer.leaveNode();
    writer.enterChild(false, true);
    writer.writeLabel(labels[3], false, std::nullopt);
    writer.endLine();
    writer.leaveNode();
    writer.leaveNode();
    writer.enterChild(false, true);
    writer.writeLabel(labels[4], false, std::nullopt);
    writer.endLine();
    writer.leaveNode();
    writer.leaveNode();
    return memory.text();
}

// Labels, indentation and cuts count the columns that text and drawing take
// in the locale: a label of several bytes per character, or drawing
// characters two columns wide, keep every child's column under its parent's
// down tee and a line that fits uncut.
TEST(LineComposerState, LabelsAndDrawingCountTheColumnsTheyTake) {
    const std::string eAcute30 = repeated("e\xcc\x81", 30);  // 90 bytes, 30 columns
    struct Case {
        const char* name;
        const char* locale;
        DrawingSet set;
        std::optional<std::uint64_t> columns;
        std::string labels[5];
        std::string printed;
    };
    const Case cases[] = {
        {"MultibyteLabelsInUtf8",
         "C.UTF-8",
         unicodeSet,
         std::nullopt,
         {cafe, "na\xc3\xafve", "x", "y", "z"},
         cafe + "\u2500\u252c\u2500na\xc3\xafve\u2500\u252c\u2500x\n"
                "     \u2502       \u2514\u2500y\n"
                "     \u2514\u2500z\n"},
        {"MultibyteLabelsInUtf8WithAscii",
         "C.UTF-8",
         asciiSet,
         std::nullopt,
         {cafe, "na\xc3\xafve", "x", "y", "z"},
         cafe + "-+-na\xc3\xafve-+-x\n"
                "     |       `-y\n"
                "     `-z\n"},
        {"CombiningTitleFitsUncut",
         "C.UTF-8",
         asciiSet,
         40,
         {eAcute30, "a", "b", "c", "d"},
         eAcute30 + "-+-a-+-b\n" + std::string(31, ' ') + "|   `-c\n" + std::string(31, ' ') +
             "`-d\n"},
        {"CombiningTitleCutByItsColumns",
         "C.UTF-8",
         asciiSet,
         34,
         {eAcute30, "a", "b", "c", "d"},
         eAcute30 + "-+-+\n" + std::string(31, ' ') + "| +\n" + std::string(31, ' ') + "`-d\n"},
        // EUC-JP gives the box characters two columns each.
        {"WideDrawingInEucJp",
         "ja_JP.EUC-JP",
         unicodeSet,
         std::nullopt,
         {"ab", "cd", "x", "y", "z"},
         "ab\xa8\xa1\xa8\xa8\xa8\xa1"
         "cd\xa8\xa1\xa8\xa8\xa8\xa1x\n"
         "    \xa8\xa2      \xa8\xa6\xa8\xa1y\n"
         "    \xa8\xa6\xa8\xa1z\n"},
        {"WideDrawingInEucJpCut",
         "ja_JP.EUC-JP",
         unicodeSet,
         13,
         {"ab", "cd", "x", "y", "z"},
         "ab\xa8\xa1\xa8\xa8\xa8\xa1"
         "cd\xa8\xa1+\n"
         "    \xa8\xa2      +\n"
         "    \xa8\xa6\xa8\xa1z\n"},
        // One byte, one column: the POSIX locale's drawing is as it always was.
        {"PosixLocale",
         "C",
         asciiSet,
         std::nullopt,
         {"init", "sshd", "a", "b", "cron"},
         "init-+-sshd-+-a\n     |      `-b\n     `-cron\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CharacterLocale locale(c.locale);
        if (!locale.active) {
            std::printf("skipped %s: the locale %s is not installed\n", c.name, c.locale);
            continue;
        }
        MemoryStream memory;
        LineWriter writer(style(c.columns, false, {c.set, false}), {}, memory.stream());
        EXPECT_EQ(drawTree(writer, memory, c.labels), c.printed);
    }
}

// Whatever the widths, a cut line never passes the width: with texts as wide
// as their widths, no printed line is longer than the terminal.
TEST(LineComposerState, LinesNeverPassTheWidth) {
    for (std::uint64_t columns = 1; columns <= 12; ++columns) {
        MemoryStream memory;
        LineWriter writer(style(columns), {}, memory.stream());
        for (std::uint64_t first = 0; first <= 13; ++first) {
            for (std::uint64_t second = 0; second <= 13; ++second) {
                for (int arguments = 0; arguments < 3; ++arguments) {
                    writer.write(first, SegmentMode::Plain, std::string(first, 'a'));
                    // An empty label, which takes no room; on every third
                    // line with a group prefix, which owes a "]".
                    writer.writeLabel(
                        "", false, arguments == 1 ? std::optional<std::uint64_t>(2) : std::nullopt);
                    writer.write(second, SegmentMode::Plain, std::string(second, 'b'));
                    for (int i = 0; i < arguments; ++i)
                        writer.writeArgument("cc", i + 1 == arguments);
                    EXPECT_LE(writer.usedColumns(), columns);
                    writer.endLine();
                    writer.leaveNode();
                }
            }
        }
        const std::string printed = memory.text();
        std::size_t lines = 0;
        for (std::size_t start = 0; start < printed.size(); ++lines) {
            const std::size_t end = printed.find('\n', start);
            ASSERT_NE(end, std::string::npos);
            EXPECT_LE(end - start, columns)
                << "columns " << columns << ": " << printed.substr(start, end - start);
            start = end + 1;
        }
        EXPECT_EQ(lines, 14u * 14u * 3u);
    }
}

}  // namespace
