#include "render/line_writer.h"

#include <unistd.h>

#include <charconv>
#include <climits>
#include <cstdio>
#include <cwchar>

#include "render/terminal.h"

namespace {

constexpr char boldOn[] = "\x1b[1m";
constexpr char boldOff[] = "\x1b[22m";
constexpr char graphicsOn[] = "\x1b(0\x0f";
constexpr char graphicsOff[] = "\x1b(B\x0f";

// The columns that an argument other than the last must leave free: room
// for " ..." to show that more arguments were cut.
constexpr std::uint64_t ellipsisReserve = 4;

}  // namespace

LineWriter::LineWriter(const OptionFlags& optionFlags, DrawingChoice drawing, std::uint64_t width,
                       bool wrapsAtMargin)
    : flags(optionFlags),
      drawingEscapes(drawing.escapes),
      drawingSet(drawing.set),
      columns(width),
      autoMarginNoXenl(wrapsAtMargin) {}

namespace {

LineWriter makeWriter(const OptionFlags& optionFlags) {
    const bool isTerminal = isatty(1) != 0;
    DrawingChoice drawing = chooseDrawingSet(optionFlags, isTerminal);
    TerminalWidth width = queryWidth(optionFlags, isTerminal);
    return LineWriter(optionFlags, drawing, width.columns, width.autoMarginNoXenl);
}

}  // namespace

LineWriter::LineWriter(const OptionFlags& optionFlags) : LineWriter(makeWriter(optionFlags)) {}

std::string_view LineWriter::encode(wchar_t character) const {
    for (std::size_t i = 0; i < encodedCount; ++i)
        if (encodedCharacters[i].character == character) return encodedCharacters[i].bytes;
    char bytes[MB_LEN_MAX];
    std::mbstate_t state{};
    std::size_t length = std::wcrtomb(bytes, character, &state);
    if (length == static_cast<std::size_t>(-1)) return {};
    // A drawing set has five characters and the space: the slots suffice.
    if (encodedCount == encodedCharacters.size()) encodedCount = encodedCharacters.size() - 1;
    EncodedCharacter& slot = encodedCharacters[encodedCount++];
    slot = {character, std::string(bytes, length)};
    return slot.bytes;
}

std::string LineWriter::cutText(std::string_view text, std::uint64_t width) {
    // Keeps whole characters of the locale that fill at most width - 1
    // columns, and stops early at a byte sequence that is no character. A
    // character fills one column, or two when the terminal shows it wide:
    // counted as one, wide characters would carry the line past the width.
    std::mbstate_t state{};
    std::size_t kept = 0;
    for (std::uint64_t used = 0; kept < text.size();) {
        wchar_t character = 0;
        std::size_t length =
            std::mbrtowc(&character, text.data() + kept, text.size() - kept, &state);
        if (length == 0 || length > text.size() - kept) break;
        const int shown = wcwidth(character);
        used += shown > 1 ? static_cast<std::uint64_t>(shown) : 1;
        if (used >= width) break;
        kept += length;
    }
    std::string cut(text.substr(0, kept));
    cut += '+';
    return cut;
}

bool LineWriter::claim(std::uint64_t width, std::uint64_t reserve, std::uint64_t& room) {
    const std::uint64_t oldColumn = column;
    column += width;
    if (columns == 0 || (flags & Flag::longLines) != 0 ||
        (column <= columns && columns - column >= reserve))
        return true;
    room = columns - oldColumn;
    column = columns;
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
        // The line was exactly full: mark the cut on the last piece that
        // takes room, keeping its width. Empty labels take none.
        for (auto segment = segments.rbegin(); segment != segments.rend(); ++segment) {
            if (segment->width == 0) continue;
            segment->text = cutText(segment->text, segment->width);
            break;
        }
        return;
    }
    addSegment(room, mode, cutText(text, room));
}

void LineWriter::writeArgument(std::string_view argument, bool lastArgument) {
    if (truncated) return;
    const std::uint64_t width = argument.size() + 1;
    std::uint64_t room = 0;
    if (claim(width, lastArgument ? 0 : ellipsisReserve, room)) {
        piece.clear();
        piece += ' ';
        piece += argument;
        addSegment(width, SegmentMode::Plain, piece);
        return;
    }
    if (room == 0) return;
    if (room > ellipsisReserve) {
        piece.clear();
        piece += ' ';
        piece += argument.substr(0, static_cast<std::size_t>(room - ellipsisReserve));
        piece += "...";
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
    for (Segment& segment : segments) spareTexts.push_back(std::move(segment.text));
    segments.clear();
    std::fwrite(output.data(), 1, output.size(), stdout);
    if (autoMarginNoXenl && column == columns)
        std::fflush(stdout);
    else
        std::putchar('\n');
    column = 0;
    truncated = false;
}

void LineWriter::writeLabel(std::string_view label, bool highlight, std::uint64_t duplicates) {
    const SegmentMode drawing = drawingEscapes ? SegmentMode::Drawing : SegmentMode::Plain;
    const bool arguments = (flags & Flag::arguments) != 0;
    if (!branches.empty()) {
        Branch& parentLevel = branches.back();
        if (last) parentLevel.last = true;
        if (!first || arguments) {
            // A line of its own: the levels above the parent, then the
            // parent's, which joins this node to the parent's column.
            if (indentationWidth != 0) write(indentationWidth, drawing, indentation);
            piece.assign(parentLevel.prefix);
            piece += encode(last ? drawingSet.corner : drawingSet.tee);
            piece += encode(drawingSet.horizontal);
            write(parentLevel.prefix.size() + 2, drawing, piece);
        } else {
            // The first child goes on along its parent's line.
            piece.assign(encode(drawingSet.horizontal));
            piece += encode(last ? drawingSet.horizontal : drawingSet.downTee);
            piece += encode(drawingSet.horizontal);
            write(3, drawing, piece);
        }
    }
    std::size_t groupWidth = 1;
    if (duplicates != 0) {
        char group[32];
        char* end = std::to_chars(group, group + sizeof group - 2, duplicates).ptr;
        *end++ = '*';
        *end++ = '[';
        const auto width = static_cast<std::size_t>(end - group);
        write(width, SegmentMode::Plain, std::string_view(group, width));
        openGroup();
        groupWidth = width + 1;
    }
    write(label.size(), highlight ? SegmentMode::Bold : SegmentMode::Plain, label);
    pushLevel(arguments ? 2 : groupWidth + label.size());
}

void LineWriter::pushLevel(std::size_t prefixWidth) {
    Branch level;
    level.prefix.assign(prefixWidth, ' ');
    level.indentationBytes = indentation.size();
    level.indentationWidth = indentationWidth;
    if (!branches.empty()) {
        // The parent's level stops being the top one. Its "last" is settled
        // for as long as this level stands: only the top level's changes.
        const Branch& below = branches.back();
        indentation += below.prefix;
        indentation += encode(below.last ? L' ' : drawingSet.vertical);
        indentation += ' ';
        indentationWidth += below.prefix.size() + 2;
    }
    branches.push_back(std::move(level));
}

void LineWriter::leaveNode() {
    const Branch& level = branches.back();
    indentation.resize(level.indentationBytes);
    indentationWidth = level.indentationWidth;
    branches.pop_back();
}
