#include "render/tree_printer.h"

#include <gtest/gtest.h>

#include <clocale>
#include <ostream>
#include <string>
#include <vector>

#include "platform/memory_records.h"
#include "process/compaction.h"
#include "process/labeller.h"
#include "process/process_table.h"
#include "process/root_choice.h"
#include "render/line_writer.h"
#include "support/escapes.h"
#include "support/memory_stream.h"
#include "support/unit/synthetic_forest.h"

namespace {

// The process table of the printing examples (the tree that
// tests/program/printing_example_test.cpp spawns for real).
const std::vector<MemoryProcess> exampleTree = {
    process(1, 0, "init"),
    process(20, 1, "cron", {"cron", "-s"}),
    process(30, 1, "getty", {"getty", "Pc", "ttyv0"}),
    process(31, 1, "getty", {"getty", "Pc", "ttyv1"}),
    process(32, 1, "getty", {"getty", "Pc", "ttyv2"}),
    process(40, 1, "sshd"),
    process(41, 40, "sshd"),
    process(42, 41, "sh", {"-sh"}),
    process(43, 42, "vi", {"vi", "notes.txt"}),
    process(44, 42, "top"),
    process(50, 1, "syslogd", {"syslogd", "-s"}),
};

// A group of two shells whose head's subtree takes two lines.
const std::vector<MemoryProcess> twoLineGroup = {
    process(1, 0, "init"),    process(10, 1, "sh"),     process(11, 1, "sh"),
    process(12, 10, "sleep"), process(13, 10, "sleep"), process(14, 13, "cat"),
    process(15, 11, "sleep"), process(16, 11, "sleep"), process(17, 16, "cat"),
};

const DrawingChoice asciiDrawing{asciiSet, false};
const DrawingChoice vt100Drawing{vt100Set, true};
const DrawingChoice unicodeDrawing{unicodeSet, false};

// What a run asks of the printing, besides the drawing and the width.
struct Printing {
    bool arguments = false;  // a line of its own for every process, with its arguments
    bool compact = true;
    ChildOrder order = ChildOrder::ByName;
};

const Printing plain{};
const Printing withArguments{.arguments = true, .compact = false};
const Printing noCompaction{.compact = false};
const Printing byPid{.order = ChildOrder::ByPid};

// Chooses the roots of `selection` among `processes`, folds them unless
// told not to, prints them as the run does and returns the output, with
// `highlightPid` (unless 0) marked. Checks that the writer is left as a run
// leaves it: no level pushed and not popped, no line pending, no "]" owed.
std::string printed(const std::vector<MemoryProcess>& processes, const Printing& printing,
                    const Selection& selection, DrawingChoice drawing,
                    std::optional<std::uint64_t> columns, pid_t highlightPid) {
    const MemoryRecords records(processes);
    ProcessTable table = tableOf(records, {.childOrder = printing.order});
    if (highlightPid != 0) table.markHighlight(highlightPid);
    const OutputOptions output{.arguments = printing.arguments};
    MemoryStream memory;
    LineWriter writer({drawing, columns, false}, output, memory.stream());
    Roots roots = chooseRoots(table, selection);
    Labeller labeller({.argumentsFollow = printing.arguments}, records.arguments(), roots);
    if (printing.compact) foldTrees(roots, labeller);
    printTrees(table, roots, writer, labeller, output);
    const std::string text = memory.text();
    // A label written now is a root on a line of its own, with nothing
    // before or after it.
    writer.writeLabel("p", false, std::nullopt);
    writer.endLine();
    EXPECT_EQ(memory.text().substr(text.size()), "p\n")
        << "every level pushed is popped, the last line is ended and every group is closed";
    return text;
}

struct TreeCase {
    const char* name;
    std::vector<MemoryProcess> processes;
    std::string printed;
    Printing printing = plain;
    DrawingChoice drawing = asciiDrawing;
    std::optional<std::uint64_t> columns = std::nullopt;  // none: lines are never cut
    pid_t highlightPid = 0;
};

void PrintTo(const TreeCase& c, std::ostream* out) { *out << c.name; }

// Prints the tree of pid 1 as a pid-mode run does: compaction first, unless
// switched off, then the tree in name or pid order.
std::string printFromInit(const TreeCase& c) {
    const bool unicodeSetChosen = c.drawing.set.horizontal == unicodeSet.horizontal;
    if (unicodeSetChosen && std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr) {
        ADD_FAILURE() << "no C.UTF-8 locale";
        return {};
    }
    std::string text = printed(c.processes, c.printing, {.mode = Selection::Mode::pid, .pid = 1},
                               c.drawing, c.columns, c.highlightPid);
    std::setlocale(LC_CTYPE, "C");
    return text;
}

// clang-format off
const TreeCase treeCases[] = {
    {"ExampleAscii", exampleTree,
     "init-+-cron\n"
     "     |-3*[getty]\n"
     "     |-sshd---sshd---sh-+-top\n"
     "     |                  `-vi\n"
     "     `-syslogd\n"},
    {"ExampleUnicode", exampleTree,
     "init─┬─cron\n"
     "     ├─3*[getty]\n"
     "     ├─sshd───sshd───sh─┬─top\n"
     "     │                  └─vi\n"
     "     └─syslogd\n",
     plain, unicodeDrawing},
    // Branches and connectors take the alternate character set, their prefix
    // spaces included; group prefixes, labels and brackets do not. A run of
    // drawing segments shares one pair of escapes.
    {"ExampleVt100", exampleTree,
     "init" + drawn("qwq") + "cron\n" +                                                           //
         drawn("     tq") + "3*[getty]\n" +                                                       //
         drawn("     tq") + "sshd" + drawn("qqq") + "sshd" + drawn("qqq") + "sh" + drawn("qwq") + "top\n" +  //
         drawn("     x " + std::string(14, ' ') + "   mq") + "vi\n" +                             //
         drawn("     mq") + "syslogd\n",
     plain, vt100Drawing},
    {"ArgumentsAscii", exampleTree,
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
     "  `-syslogd -s\n",
     withArguments},
    {"ArgumentsUnicode", exampleTree,
     "init\n"
     "  ├─cron -s\n"
     "  ├─getty Pc ttyv0\n"
     "  ├─getty Pc ttyv1\n"
     "  ├─getty Pc ttyv2\n"
     "  ├─sshd\n"
     "  │   └─sshd\n"
     "  │       └─sh\n"
     "  │           ├─top\n"
     "  │           └─vi notes.txt\n"
     "  └─syslogd -s\n",
     withArguments, unicodeDrawing},
    {"ArgumentsVt100", exampleTree,
     "init\n" + drawn("  tq") + "cron -s\n" + drawn("  tq") + "getty Pc ttyv0\n" + drawn("  tq") +
         "getty Pc ttyv1\n" + drawn("  tq") + "getty Pc ttyv2\n" + drawn("  tq") + "sshd\n" +
         drawn("  x   mq") + "sshd\n" + drawn("  x       mq") + "sh\n" + drawn("  x           tq") + "top\n" +
         drawn("  x           mq") + "vi notes.txt\n" + drawn("  mq") + "syslogd -s\n",
     withArguments, vt100Drawing},
    // A root shows its own arguments; a vector that is missing or holds only
    // the title gives the label alone, and no line is ended twice.
    {"ArgumentsOfRootAndMissingVectors",
     {process(1, 0, "init", {"init", "-s", "a b"}), MemoryProcess{.pid = 2, .ppid = 1, .name = "zombie", .arguments = {}},
      process(3, 1, "title", {"only the title"}), process(4, 1, "tab", {"tab", "x\ty", "new\nline"})},
     "init -s a b\n"
     "  |-tab x\\011y new\\012line\n"
     "  |-title\n"
     "  `-zombie\n",
     withArguments},
    {"ArgumentsCutAtTheWidth", exampleTree,
     "init\n"
     "  |-cron -s\n"
     "  |-getty Pc ...\n"
     "  |-getty Pc ...\n"
     "  |-getty Pc ...\n"
     "  |-sshd\n"
     "  |   `-sshd\n"
     "  |       `-sh\n"
     "  |           |+\n"
     "  |           `+\n"
     "  `-syslogd -s\n",
     withArguments, asciiDrawing, 16},
    {"GroupOverSeveralLinesAscii", twoLineGroup,
     "init---2*[sh-+-sleep]\n"
     "             `-sleep---cat\n"},
    {"GroupOverSeveralLinesUnicode", twoLineGroup,
     "init───2*[sh─┬─sleep]\n"
     "             └─sleep───cat\n",
     plain, unicodeDrawing},
    {"NestedGroupsCloseTogether",
     {process(1, 0, "init"), process(10, 1, "sh"), process(11, 1, "sh"), process(12, 10, "sleep"),
      process(13, 10, "sleep"), process(14, 11, "sleep"), process(15, 11, "sleep")},
     "init───2*[sh───2*[sleep]]\n", plain, unicodeDrawing},
    {"WithoutCompactionEveryNodeIsPrinted", twoLineGroup,
     "init-+-sh-+-sleep\n"
     "     |    `-sleep---cat\n"
     "     `-sh-+-sleep\n"
     "          `-sleep---cat\n",
     noCompaction},
    // Hidden siblings change nothing in the drawing of the visible ones.
    {"HiddenSiblingBetweenVisibleOnes",
     {process(1, 0, "init"), process(10, 1, "a"), process(11, 1, "b"), process(12, 1, "b"), process(13, 1, "c")},
     "init-+-a\n"
     "     |-2*[b]\n"
     "     `-c\n"},
    {"HiddenSiblingsAfterTheLastVisibleOne",
     {process(1, 0, "init"), process(10, 1, "a"), process(11, 1, "b"), process(12, 1, "b"), process(20, 11, "x"),
      process(21, 11, "x"), process(22, 12, "x"), process(23, 12, "x"), process(30, 21, "z"), process(31, 23, "z")},
     "init-+-a\n"
     "     `-2*[b-+-x]\n"
     "            `-x---z\n"},
    {"LastVisibleFoundByWalkingPastAnotherGroupsMember",
     {process(1, 0, "init"), process(10, 1, "b"), process(11, 1, "b"), process(12, 1, "b"), process(20, 11, "x")},
     "init-+-2*[b]\n"
     "     `-b---x\n"},
    {"GroupHeadAfterAnUnfoldedSibling",
     {process(1, 0, "init"), process(10, 1, "b"), process(11, 1, "b"), process(12, 1, "b"), process(20, 11, "x"),
      process(21, 12, "x")},
     "init-+-b\n"
     "     `-2*[b---x]\n"},
    // Only the labels of the highlighted chain are bold, a folded head's too.
    {"HighlightedLabelsAscii", exampleTree,
     bold("init") + "-+-cron\n" +                                                       //
         "     |-3*[getty]\n" +                                                         //
         "     |-" + bold("sshd") + "---" + bold("sshd") + "---" + bold("sh") + "-+-top\n" +  //
         "     |                  `-" + bold("vi") + "\n" +                              //
         "     `-syslogd\n",
     plain, asciiDrawing, std::nullopt, 43},
    {"HighlightedGroupHeadVt100",
     {process(1, 0, "init"), process(2, 1, "b"), process(3, 1, "b"), process(4, 1, "c")},
     bold("init") + drawn("qwq") + "2*[" + bold("b") + "]\n" + drawn("     mq") + "c\n", plain, vt100Drawing, std::nullopt,
     3},
    // Cut lines drop their ends; the lines after them are drawn in the
    // right columns all the same.
    {"CutLinesAscii", exampleTree,
     "init-+-cron\n"
     "     |-3*[get+\n"
     "     |-sshd--+\n"
     "     |       +\n"
     "     `-syslogd\n",
     plain, asciiDrawing, 14},
    {"CutLinesUnicode", exampleTree,
     "init─┬─cron\n"
     "     ├─3*[get+\n"
     "     ├─sshd──+\n"
     "     │       +\n"
     "     └─syslogd\n",
     plain, unicodeDrawing, 14},
    {"CutLinesVt100", exampleTree,
     "init" + drawn("qwq") + "cron\n" + drawn("     tq") + "3*[get+\n" + drawn("     tq") + "sshd" + drawn("qq+") +
         "\n" + drawn("     x       +") + "\n" + drawn("     mq") + "syslogd\n",
     plain, vt100Drawing, 14},
    {"ExactlyFullLineRecutsItsLabel",
     {process(1, 0, "init"), process(2, 1, "a"), process(3, 2, "x"), process(4, 2, "y"), process(5, 1, "b")},
     "init-+-+\n"
     "     | +\n"
     "     `-b\n",
     plain, asciiDrawing, 8},
    // In pid order the drawing is the same; only the order changes, at
    // every level.
    {"ByPidOrder",
     {process(1, 0, "init"), process(5, 1, "zz"), process(6, 1, "aa"), process(8, 5, "mm"), process(9, 5, "aa")},
     "init-+-zz-+-mm\n"
     "     |    `-aa\n"
     "     `-aa\n",
     byPid},
    {"ByNameOrder",
     {process(1, 0, "init"), process(5, 1, "zz"), process(6, 1, "aa"), process(8, 5, "mm"), process(9, 5, "aa")},
     "init-+-aa\n"
     "     `-zz-+-aa\n"
     "          `-mm\n"},
    {"ByPidOrderWithAGroup",
     {process(1, 0, "init"), process(5, 1, "b"), process(6, 1, "a"), process(7, 1, "b")},
     "init-+-2*[b]\n"
     "     `-a\n",
     byPid},
    {"LeafRootInAGrouplessTree", {process(1, 0, "init")}, "init\n"},
};
// clang-format on

class TreePrinter : public testing::TestWithParam<TreeCase> {};

TEST_P(TreePrinter, PrintsTheTreeByteForByte) {
    const TreeCase& c = GetParam();
    EXPECT_EQ(printFromInit(c), c.printed);
}

INSTANTIATE_TEST_SUITE_P(Cases, TreePrinter, testing::ValuesIn(treeCases),
                         [](const testing::TestParamInfo<TreeCase>& test) {
                             return std::string(test.param.name);
                         });

// Roots outside pid mode: the parentless nodes in one name-keyed index,
// compacted together, each printed in turn.
TEST(TreePrinterRoots, EqualParentlessRootsFoldIntoOneLine) {
    EXPECT_EQ(printed({process(1, 0, "init"), process(7, 99, "orphan"), process(8, 98, "orphan"),
                       process(9, 97, "lonely"), process(10, 9, "child")},
                      plain, {}, asciiDrawing, std::nullopt, 0),
              "init\n"
              "lonely---child\n"
              "2*[orphan]\n");
}

}  // namespace
