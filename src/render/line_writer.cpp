#include "render/line_writer.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cwchar>

#include "render/terminal.h"

namespace {

constexpr char boldOn[] = "\x1b[1m";
constexpr char boldOff[] = "\x1b[22m";
constexpr char graphicsOn[] = "\x1b(0\x0f";
constexpr char graphicsOff[] = "\x1b(B\x0f";

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

std::string LineWriter::encode(wchar_t character) const {
    for (const EncodedCharacter& known : encodedCharacters)
        if (known.character == character) return known.bytes;
    char bytes[MB_LEN_MAX];
    std::mbstate_t state{};
    std::size_t length = std::wcrtomb(bytes, character, &state);
    if (length == static_cast<std::size_t>(-1)) return {};
    encodedCharacters.push_back({character, std::string(bytes, length)});
    return encodedCharacters.back().bytes;
}

std::string LineWriter::cutText(const std::string& text, std::uint64_t width) {
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
    return text.substr(0, kept) + '+';
}

void LineWriter::write(std::uint64_t width, SegmentMode mode, std::string text) {
    if (truncated) return;
    const std::uint64_t oldColumn = column;
    column += width;
    const bool cut = columns != 0 && (flags & Flag::longLines) == 0 && columns < column;
    if (!cut) {
        segments.push_back({width, mode, std::move(text)});
        return;
    }
    column = columns;
    truncated = true;
    if (oldColumn == columns) {
        // The line was exactly full: mark the cut on the last piece that
        // takes room, keeping its width. Empty labels take none.
        for (auto segment = segments.rbegin(); segment != segments.rend(); ++segment) {
            if (segment->width == 0) continue;
            segment->text = cutText(segment->text, segment->width);
            break;
        }
        return;
    }
    const std::uint64_t room = columns - oldColumn;
    segments.push_back({room, mode, cutText(text, room)});
}

void LineWriter::writeArgument(std::string_view argument, bool lastArgument) {
    if (truncated) return;
    const std::uint64_t width = argument.size() + 1;
    const std::uint64_t oldColumn = column;
    column += width;
    const bool fits = columns == 0 || (flags & Flag::longLines) != 0 ||
                      (columns >= column && (lastArgument || column + 3 < columns));
    if (fits) {
        std::string text = " ";
        text += argument;
        segments.push_back({width, SegmentMode::Plain, std::move(text)});
        return;
    }
    column = columns;
    truncated = true;
    const auto room = static_cast<std::int64_t>(columns - oldColumn);
    if (room <= 0) return;
    std::string text;
    if (room > 4) {
        text = " ";
        text += argument.substr(0, static_cast<std::size_t>(room - 4));
        text += "...";
    } else {
        text = std::string(" ...", static_cast<std::size_t>(room));
    }
    segments.push_back({static_cast<std::uint64_t>(room), SegmentMode::Plain, std::move(text)});
}

void LineWriter::endLine() {
    if (closers != 0) {
        write(closers, SegmentMode::Plain, std::string(closers, ']'));
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
    segments.clear();
    std::fwrite(output.data(), 1, output.size(), stdout);
    if (autoMarginNoXenl && column == columns)
        std::fflush(stdout);
    else
        std::putchar('\n');
    column = 0;
    truncated = false;
}

void LineWriter::writeLabel(const std::string& label, bool highlight, std::uint64_t duplicates) {
    const SegmentMode drawing = drawingEscapes ? SegmentMode::Drawing : SegmentMode::Plain;
    const bool arguments = (flags & Flag::arguments) != 0;
    if (!branches.empty()) {
        if (!first || arguments) {
            for (std::size_t i = 0; i + 1 < branches.size(); ++i) {
                const Branch& level = branches[i];
                write(level.prefix.size() + 2, drawing,
                      level.prefix + encode(level.last ? L' ' : drawingSet.vertical) + ' ');
            }
            Branch& parentLevel = branches.back();
            wchar_t joint = drawingSet.tee;
            if (last) {
                parentLevel.last = true;
                joint = drawingSet.corner;
            }
            write(parentLevel.prefix.size() + 2, drawing,
                  parentLevel.prefix + encode(joint) + encode(drawingSet.horizontal));
        } else {
            wchar_t joint = drawingSet.downTee;
            if (last) {
                branches.back().last = true;
                joint = drawingSet.horizontal;
            }
            write(3, drawing,
                  encode(drawingSet.horizontal) + encode(joint) + encode(drawingSet.horizontal));
        }
    }
    std::size_t groupWidth = 1;
    if (duplicates != 0) {
        std::string group = std::to_string(duplicates) + "*[";
        const std::size_t width = group.size();  // taken before the text is moved away
        groupWidth = width + 1;
        write(width, SegmentMode::Plain, std::move(group));
        ++closers;
    }
    write(label.size(), highlight ? SegmentMode::Bold : SegmentMode::Plain, label);
    branches.push_back({std::string(arguments ? 2 : groupWidth + label.size(), ' '), false});
}
