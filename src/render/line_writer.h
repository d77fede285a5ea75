// The output object: composes each tree line from segments, cuts it at the
// terminal width and prints it with its escape sequences.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/option_flags.h"
#include "render/drawing_set.h"

enum class SegmentMode : std::uint32_t { Plain = 0, Drawing = 1, Bold = 2 };

// One pending piece of the current line.
struct Segment {
    std::uint64_t width;
    SegmentMode mode;
    std::string text;
};

// One level of the indentation stack.
struct Branch {
    std::string prefix;
    bool last = false;
};

class LineWriter {
  public:
    // Chooses the drawing set and the width for the run's output.
    explicit LineWriter(const OptionFlags& flags);

    // A writer with a given set and width, for tests.
    LineWriter(const OptionFlags& flags, DrawingChoice drawing, std::uint64_t columns,
               bool autoMarginNoXenl);

    // Adds a piece `width` columns wide, or cuts the line there.
    void write(std::uint64_t width, SegmentMode mode, std::string text);

    // Adds one space and `argument`, or cuts the line with " ..." forms.
    void writeArgument(std::string_view argument, bool last);

    // Pays the pending "]", prints the line and starts a new one.
    void endLine();

    // Writes the branch drawing, the group prefix and the label of a node,
    // then pushes its Branch.
    void writeLabel(const std::string& label, bool highlight, std::uint64_t duplicates);

    const OptionFlags& flags;
    bool drawingEscapes;
    DrawingSet drawingSet;
    std::uint64_t columns;
    std::uint64_t column = 0;
    bool truncated = false;
    bool autoMarginNoXenl;
    std::vector<Segment> segments;
    std::vector<Branch> branches;
    bool first = false;
    bool last = false;
    std::uint64_t closers = 0;

  private:
    // A drawing character as multibyte text in the locale of the run.
    std::string encode(wchar_t character) const;

    // `text` cut to `width` columns: at most width - 1 characters and "+".
    static std::string cutText(const std::string& text, std::uint64_t width);

    std::string output;  // the line being printed, reused

    // The drawing characters encoded so far: every line needs a few of
    // them, and the locale does not change while lines are written.
    struct EncodedCharacter {
        wchar_t character;
        std::string bytes;
    };
    mutable std::vector<EncodedCharacter> encodedCharacters;
};
