// The output object: composes each tree line from segments, cuts it at the
// terminal width and prints it with its escape sequences.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "render/drawing_set.h"
#include "render/output_setup.h"

enum class SegmentMode : std::uint32_t { Plain = 0, Drawing = 1, Bold = 2 };

// The printer drives the writer through a small protocol, node by node in
// depth-first order:
//
//   enterChild(first, last)   before each child of the node on top: whether
//                             it is the first and whether it is the last
//                             child that will be printed for that node
//   writeLabel(...)           draws the branch in front of the node, its
//                             group prefix and label, and pushes its level
//   writeArgument / endLine   the rest of its line
//   leaveNode()               after the node's children: pops its level
//
// "First" decides the form of the branch: a first child continues its
// parent's line after a three-column connector; any other child starts a
// line of its own under the parent's column. "Last" decides whether the
// parent's column goes on below the child (a tee, and later a vertical) or
// ends there (a corner, and spaces below). A child is last when every entry
// after it in the parent's index is folded away into an earlier sibling
// (compaction marks them hidden): those entries print nothing, so the
// vertical line must not run on towards them.
class LineWriter {
  public:
    // A writer in `style` that prints to `stream`, which must stay open as
    // long as the writer prints. Of `options` it keeps whether lines are
    // never cut and whether every process has a line of its own.
    LineWriter(const OutputStyle& style, const OutputOptions& options, std::FILE* stream);

    // Adds a piece `width` columns wide, or cuts the line there.
    void write(std::uint64_t width, SegmentMode mode, std::string_view text);

    // Adds one space and `argument`, counted by the columns it takes, or
    // cuts the line with " ..." forms: the argument then keeps the whole
    // characters that fit before them. Without room for any dot, the piece
    // before is cut with a "+": arguments are never dropped unmarked.
    void writeArgument(std::string_view argument, bool last);

    // Pays the pending "]", prints the line and starts a new one. On a
    // terminal that wraps by itself at its last column and takes a newline
    // there as one more line, a line that fills the screen line ends without
    // the newline: only when the width is the terminal's own, for a line
    // that fills a narrower COLUMNS leaves the cursor on its row.
    void endLine();

    // Announces the next child of the node whose level is on top.
    void enterChild(bool firstChild, bool lastChild) {
        first = firstChild;
        last = lastChild;
    }

    // Writes the branch drawing, the group prefix and the label of a node,
    // then pushes its level. The label, like everything on a line, counts
    // the columns it takes in the locale of the run, so that the children's
    // column stands under the parent's down tee whatever the label's bytes. `group` is the size
    // of the group that the node heads (its prefix "N*[" and the "]" owed at the line's end), none
    // for a node that heads none.
    void writeLabel(std::string_view label, bool highlight, std::optional<std::uint64_t> group);

    // Pops the level of the node whose children are all printed.
    void leaveNode();

    // The columns used on the current line, as the pieces claimed them.
    std::uint64_t usedColumns() const { return column; }

    // Whether the current line has been cut: nothing more is added to it.
    bool isTruncated() const { return truncated; }

  private:
    // One pending piece of the current line.
    struct Segment {
        std::uint64_t width;  // the columns claimed for it
        SegmentMode mode;
        std::string text;
    };

    // One level of the indentation stack: the node whose children are being
    // printed at that depth.
    struct Branch {
        std::string prefix;  // spaces: the node's group prefix and label, and one more
        bool last = false;   // its last printed child has been written
        // Where this level's piece of the path's indentation begins, in bytes
        // and in columns (see indentation).
        std::size_t indentationBytes = 0;
        std::uint64_t indentationWidth = 0;
    };

    // A drawing character as multibyte text in the locale of the run; the
    // constructor encodes each of them once.
    static std::string encode(wchar_t character);

    // `text` cut to `width` columns: the whole characters that fill at most
    // width - 1 of them, and "+".
    static std::string cutText(std::string_view text, std::uint64_t width);

    // Takes `width` more columns for the next piece, leaving `reserve` free
    // after it. When they are not there, cuts the line, sets `room` to the
    // columns that were left (0: the line was exactly full) and answers
    // false.
    bool claim(std::uint64_t width, std::uint64_t reserve, std::uint64_t& room);

    // Marks the cut of an exactly full line on its last piece that takes
    // room: a "+" in place of its end.
    void markCutOnLastPiece();

    // Appends a segment, reusing the text buffer of an earlier line.
    void addSegment(std::uint64_t width, SegmentMode mode, std::string_view text);

    // A character that stands in a level's column (a vertical, tee, corner,
    // down tee, or the horizontal in place of the down tee), encoded and
    // padded to the column's width.
    std::string levelColumnText(wchar_t character) const;

    // Whether the pending line takes every column of the screen line.
    bool fillsTheScreenLine() const;

    // Owes a "]" at the end of the current line to a group prefix written on
    // it.
    void openGroup() { ++closers; }

    // Pushes the level of the node just labelled; the level below it, its
    // parent's, joins the indentation.
    void pushLevel(std::uint64_t prefixWidth);

    // Fixed for the run.
    std::FILE* stream;
    DrawingSet drawingSet;
    bool drawingEscapes;
    bool arguments;
    std::optional<std::uint64_t> columns;  // none: lines are never cut
    // A line that takes every column ends on the screen line by itself: the
    // terminal wraps there (automatic margins without xenl) and the width is
    // the terminal's own, not one COLUMNS set narrower than the window.
    bool wrapsAtColumns;
    // The columns of the drawing characters in the locale of the run: the
    // horizontal, and a level's column (see appendInLevelColumn).
    std::uint64_t horizontalWidth = 1;
    std::uint64_t levelWidth = 1;
    // The drawing characters encoded in the locale of the run; those that
    // stand in a level's column padded to its width (levelColumnText), and
    // the blank that stands there below a level whose last child is written.
    std::string horizontalText;
    struct LevelColumnTexts {
        std::string vertical, corner, tee, downTee, horizontal, blank;
    } inLevelColumn;

    // The current line.
    std::uint64_t column = 0;
    bool truncated = false;
    std::vector<Segment> segments;
    std::uint64_t closers = 0;  // "]" owed to the group prefixes on it

    // The path down to the node being printed.
    std::vector<Branch> branches;
    bool first = false;  // the next child is its parent's first printed one
    bool last = false;   // ... and its last

    // The indentation that every line starting below the top level begins
    // with: for every level but the top one, its prefix and either the
    // vertical line (more children to come) or a space, then a space. It
    // grows and shrinks with the path, so that a line costs its own length.
    std::string indentation;
    std::uint64_t indentationWidth = 0;

    std::string piece;                    // a piece being composed, reused
    std::vector<std::string> spareTexts;  // texts of printed segments, reused
    std::string output;                   // the line being printed, reused
};
