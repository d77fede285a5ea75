#include "render/line_writer.h"

#include <charconv>
#include <climits>
#include <cstdio>
#include <cwchar>

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
      autoMarginNoXenl(style.autoMarginNoXenl),
      longLines(options.longLines),
      arguments(options.arguments),
      columns(style.columns) {}

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

namespace {

// The columns a character of the locale takes on the terminal: none for a
// combining mark, two for a wide character. One for a character that has no
// width of its own (text is encoded before it gets here, so there are none
// in practice): the terminal shows something for it.
std::uint64_t characterColumns(wchar_t character) {
    const int shown = wcwidth(character);
    return shown < 0 ? 1 : static_cast<std::uint64_t>(shown);
}

// The bytes of the longest start of `text` that is whole characters of the
// locale filling at most `width` columns. It stops early at a byte sequence
// that is no character.
std::size_t fittingBytes(std::string_view text, std::uint64_t width) {
    std::mbstate_t state{};
    std::size_t kept = 0;
    for (std::uint64_t used = 0; kept < text.size();) {
        wchar_t character = 0;
        const std::size_t length =
            std::mbrtowc(&character, text.data() + kept, text.size() - kept, &state);
        if (length == 0 || length > text.size() - kept) break;
        used += characterColumns(character);
        if (used > width) break;
        kept += length;
    }
    return kept;
}

// The columns that `text` takes on the terminal. A byte that starts no
// character counts as one, as a terminal shows one replacement for it.
std::uint64_t textColumns(std::string_view text) {
    std::mbstate_t state{};
    std::uint64_t used = 0;
    for (std::size_t at = 0; at < text.size();) {
        wchar_t character = 0;
        std::size_t length = std::mbrtowc(&character, text.data() + at, text.size() - at, &state);
        if (length == 0 || length > text.size() - at) {
            state = std::mbstate_t{};
            length = 1;
            used += 1;
        } else {
            used += characterColumns(character);
        }
        at += length;
    }
    return used;
}

// The characters of `text`, each of them one column wide: spaces and line
// drawing characters. A byte that starts no character counts as one.
std::uint64_t characterCount(std::string_view text) {
    std::mbstate_t state{};
    std::uint64_t count = 0;
    for (std::size_t at = 0; at < text.size(); ++count) {
        std::size_t length = std::mbrtowc(nullptr, text.data() + at, text.size() - at, &state);
        if (length == 0 || length > text.size() - at) {
            state = std::mbstate_t{};
            length = 1;
        }
        at += length;
    }
    return count;
}

}  // namespace

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
    if (columns == 0 || longLines || (column <= columns && columns - column >= reserve))
        return true;
    room = columns - oldColumn;
    column = columns;
    truncated = true;
    return false;
}

void LineWriter::addSegment(std::uint64_t width, SegmentMode mode, std::string_view text,
                            bool drawn) {
    std::string buffer;
    if (!spareTexts.empty()) {
        buffer = std::move(spareTexts.back());
        spareTexts.pop_back();
    }
    buffer.assign(text);
    segments.push_back({width, mode, drawn, std::move(buffer)});
}

void LineWriter::write(std::uint64_t width, SegmentMode mode, std::string_view text) {
    put(width, mode, text, mode == SegmentMode::Drawing);
}

void LineWriter::put(std::uint64_t width, SegmentMode mode, std::string_view text, bool drawn) {
    if (truncated) return;
    std::uint64_t room = 0;
    if (claim(width, 0, room)) {
        addSegment(width, mode, text, drawn);
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
    addSegment(room, mode, cutText(text, room), drawn);
}

void LineWriter::writeArgument(std::string_view argument, bool lastArgument) {
    if (truncated) return;
    const std::uint64_t width = argument.size() + 1;
    std::uint64_t room = 0;
    if (claim(width, lastArgument ? 0 : ellipsisReserve, room)) {
        piece.clear();
        piece += ' ';
        piece += argument;
        addSegment(width, SegmentMode::Plain, piece, false);
        return;
    }
    if (room == 0) return;
    if (room > ellipsisReserve) {
        piece.clear();
        piece += ' ';
        piece += argument.substr(0, fittingBytes(argument, room - ellipsisReserve));
        piece += "...";
    } else {
        piece.assign(std::string_view(" ...").substr(0, static_cast<std::size_t>(room)));
    }
    addSegment(room, SegmentMode::Plain, piece, false);
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
    const bool wrapped = autoMarginNoXenl && fillsTheScreenLine();
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
    // The columns counted so far are bytes for text, and text of several
    // bytes per character takes fewer columns on the screen: a line whose
    // count falls short of the width cannot fill it, and one that reaches
    // it fills it only when its pieces take as many columns on the screen.
    if (column != columns) return false;
    std::uint64_t shown = 0;
    for (const Segment& segment : segments)
        shown += segment.drawn ? characterCount(segment.text) : textColumns(segment.text);
    return shown == columns;
}

void LineWriter::writeLabel(std::string_view label, bool highlight, std::uint64_t duplicates) {
    const SegmentMode drawing = drawingEscapes ? SegmentMode::Drawing : SegmentMode::Plain;
    if (!branches.empty()) {
        Branch& parentLevel = branches.back();
        if (last) parentLevel.last = true;
        if (!first || arguments) {
            // A line of its own: the levels above the parent, then the
            // parent's, which joins this node to the parent's column.
            if (indentationWidth != 0) put(indentationWidth, drawing, indentation, true);
            piece.assign(parentLevel.prefix);
            piece += encode(last ? drawingSet.corner : drawingSet.tee);
            piece += encode(drawingSet.horizontal);
            put(parentLevel.prefix.size() + 2, drawing, piece, true);
        } else {
            // The first child goes on along its parent's line.
            piece.assign(encode(drawingSet.horizontal));
            piece += encode(last ? drawingSet.horizontal : drawingSet.downTee);
            piece += encode(drawingSet.horizontal);
            put(3, drawing, piece, true);
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
