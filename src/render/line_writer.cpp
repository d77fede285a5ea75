#include "render/line_writer.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cwchar>

#include "render/text_width.h"

namespace {

constexpr char boldOn[] = "\x1b[1m";
constexpr char boldOff[] = "\x1b[22m";
constexpr char graphicsOn[] = "\x1b(0\x0f";
constexpr char graphicsOff[] = "\x1b(B\x0f";

// The columns that an argument other than the last must leave free: room
// for " ..." to show that more arguments were cut.
constexpr std::uint64_t ellipsisReserve = 4;

}  // namespace

LineWriter::LineWriter(const OutputStyle& style, const OutputOptions& options, std::FILE* printTo)
    : stream(printTo),
      drawingSet(style.drawing.set),
      drawingEscapes(style.drawing.escapes),
      arguments(options.arguments),
      columns(style.columns),
      wrapsAtColumns(style.autoMarginNoXenl && style.widthSource == WidthSource::Terminal) {
    // The characters of a set are one column wide in every locale but the
    // Unicode set in the legacy CJK ones, which give it two. The column of a
    // level (its vertical, tee, corner, or the down tee of the connector)
    // is as wide as the widest of them.
    horizontalWidth = characterColumns(drawingSet.horizontal);
    for (wchar_t character :
         {drawingSet.vertical, drawingSet.corner, drawingSet.tee, drawingSet.downTee})
        levelWidth = std::max(levelWidth, characterColumns(character));
    // Every line needs a few of them: they are encoded once, for the
    // locale does not change while lines are written.
    horizontalText = encode(drawingSet.horizontal);
    inLevelColumn.vertical = levelColumnText(drawingSet.vertical);
    inLevelColumn.corner = levelColumnText(drawingSet.corner);
    inLevelColumn.tee = levelColumnText(drawingSet.tee);
    inLevelColumn.downTee = levelColumnText(drawingSet.downTee);
    inLevelColumn.horizontal = levelColumnText(drawingSet.horizontal);
    inLevelColumn.blank.assign(levelWidth, ' ');
}

std::string LineWriter::levelColumnText(wchar_t character) const {
    std::string text = encode(character);
    const std::uint64_t width = characterColumns(character);
    if (width < levelWidth) text.append(levelWidth - width, ' ');
    return text;
}

std::string LineWriter::encode(wchar_t character) {
    char bytes[MB_LEN_MAX];
    std::mbstate_t state{};
    const std::size_t length = std::wcrtomb(bytes, character, &state);
    if (length == static_cast<std::size_t>(-1)) return {};
    return std::string(bytes, length);
}

std::string LineWriter::cutText(std::string_view text, std::uint64_t width) {
    // Whole characters of the locale by the columns they take on the
    // terminal, so that the cut text with its "+" is never wider than
    // `width`, whatever its bytes.
    std::string cut(text.substr(0, fittingBytes(text, width - 1)));
    cut += '+';
    return cut;
}

bool LineWriter::claim(std::uint64_t width, std::uint64_t reserve, std::uint64_t& room) {
    const std::uint64_t oldColumn = column;
    column += width;
    if (!columns || (column <= *columns && *columns - column >= reserve)) return true;
    room = *columns - oldColumn;
    column = *columns;
    truncated = true;
    return false;
}

void LineWriter::addSegment(std::uint64_t width, SegmentMode mode, std::string_view text) {
    std::string buffer;
    if (!spareTexts.empty()) {
        buffer = std::move(spareTexts.back());
        spareTexts.pop_back();
    }
    buffer.assign(text);
    segments.push_back({width, mode, std::move(buffer)});
}

void LineWriter::write(std::uint64_t width, SegmentMode mode, std::string_view text) {
    if (truncated) return;
    std::uint64_t room = 0;
    if (claim(width, 0, room)) {
        addSegment(width, mode, text);
        return;
    }
    if (room == 0) {
        markCutOnLastPiece();
        return;
    }
    addSegment(room, mode, cutText(text, room));
}

void LineWriter::markCutOnLastPiece() {
    // The line was exactly full: the last piece that takes room is cut to
    // make room for the mark, keeping its width. Empty labels take none.
    for (auto segment = segments.rbegin(); segment != segments.rend(); ++segment) {
        if (segment->width == 0) continue;
        segment->text = cutText(segment->text, segment->width);
        break;
    }
}

void LineWriter::writeArgument(std::string_view argument, bool lastArgument) {
    if (truncated) return;
    const std::uint64_t width = textColumns(argument) + 1;
    std::uint64_t room = 0;
    if (claim(width, lastArgument ? 0 : ellipsisReserve, room)) {
        piece.clear();
        piece += ' ';
        piece += argument;
        addSegment(width, SegmentMode::Plain, piece);
        return;
    }
    // Arguments that are left out are always marked: by the dots, as many
    // as there is room for, and without room for one, by a "+" on the piece
    // before them. The space before the dots is dropped first.
    if (room == 0) {
        markCutOnLastPiece();
        return;
    }
    if (room > ellipsisReserve) {
        piece.clear();
        piece += ' ';
        piece += argument.substr(0, fittingBytes(argument, room - ellipsisReserve));
        piece += "...";
    } else if (room == 1) {
        piece.assign(".");
    } else {
        piece.assign(std::string_view(" ...").substr(0, static_cast<std::size_t>(room)));
    }
    addSegment(room, SegmentMode::Plain, piece);
}

void LineWriter::endLine() {
    if (closers != 0) {
        piece.assign(closers, ']');
        write(closers, SegmentMode::Plain, piece);
        closers = 0;
    }
    output.clear();
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const Segment& segment = segments[i];
        if (segment.mode == SegmentMode::Bold) {
            output += boldOn;
            output += segment.text;
            output += boldOff;
        } else if (segment.mode == SegmentMode::Drawing) {
            if (i == 0 || segments[i - 1].mode != SegmentMode::Drawing) output += graphicsOn;
            output += segment.text;
            if (i + 1 == segments.size() || segments[i + 1].mode != SegmentMode::Drawing)
                output += graphicsOff;
        } else {
            output += segment.text;
        }
    }
    const bool wrapped = wrapsAtColumns && fillsTheScreenLine();
    for (Segment& segment : segments) spareTexts.push_back(std::move(segment.text));
    segments.clear();
    std::fwrite(output.data(), 1, output.size(), stream);
    if (wrapped)
        std::fflush(stream);
    else
        std::putc('\n', stream);
    column = 0;
    truncated = false;
}

bool LineWriter::fillsTheScreenLine() const {
    // A line whose count falls short of the width cannot fill it. One that
    // reaches it fills it unless a cut left a column free (a wide character
    // that did not fit before the "+"), or a piece was written with more
    // columns than its text takes.
    if (!columns || column != *columns) return false;
    std::uint64_t shown = 0;
    for (const Segment& segment : segments) shown += textColumns(segment.text);
    return shown == *columns;
}

void LineWriter::writeLabel(std::string_view label, bool highlight,
                            std::optional<std::uint64_t> group) {
    const SegmentMode drawing = drawingEscapes ? SegmentMode::Drawing : SegmentMode::Plain;
    if (!branches.empty()) {
        Branch& parentLevel = branches.back();
        if (last) parentLevel.last = true;
        if (!first || arguments) {
            // A line of its own: the levels above the parent, then the
            // parent's, which joins this node to the parent's column.
            if (indentationWidth != 0) write(indentationWidth, drawing, indentation);
            piece.assign(parentLevel.prefix);
            piece += last ? inLevelColumn.corner : inLevelColumn.tee;
            piece += horizontalText;
            write(parentLevel.prefix.size() + levelWidth + horizontalWidth, drawing, piece);
        } else {
            // The first child goes on along its parent's line.
            piece.assign(horizontalText);
            piece += last ? inLevelColumn.horizontal : inLevelColumn.downTee;
            piece += horizontalText;
            write(levelWidth + 2 * horizontalWidth, drawing, piece);
        }
    }
    std::size_t groupWidth = 0;
    if (group) {
        char prefix[32];
        char* end = std::to_chars(prefix, prefix + sizeof prefix - 2, *group).ptr;
        *end++ = '*';
        *end++ = '[';
        const auto width = static_cast<std::size_t>(end - prefix);
        write(width, SegmentMode::Plain, std::string_view(prefix, width));
        openGroup();
        groupWidth = width;
    }
    const std::uint64_t labelWidth = textColumns(label);
    write(labelWidth, highlight ? SegmentMode::Bold : SegmentMode::Plain, label);
    // The children's column stands under the down tee of the connector,
    // after the group prefix, the label and one horizontal.
    pushLevel(arguments ? 2 : groupWidth + labelWidth + horizontalWidth);
}

void LineWriter::pushLevel(std::uint64_t prefixWidth) {
    Branch level;
    level.prefix.assign(prefixWidth, ' ');
    level.indentationBytes = indentation.size();
    level.indentationWidth = indentationWidth;
    if (!branches.empty()) {
        // The parent's level stops being the top one. Its "last" is settled
        // for as long as this level stands: only the top level's changes.
        const Branch& below = branches.back();
        indentation += below.prefix;
        indentation += below.last ? inLevelColumn.blank : inLevelColumn.vertical;
        indentation.append(horizontalWidth, ' ');
        indentationWidth += below.prefix.size() + levelWidth + horizontalWidth;
    }
    branches.push_back(std::move(level));
}

void LineWriter::leaveNode() {
    const Branch& level = branches.back();
    indentation.resize(level.indentationBytes);
    indentationWidth = level.indentationWidth;
    branches.pop_back();
}
