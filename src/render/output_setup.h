// Setting up the run's output: the drawing set, the width at which lines are
// cut and how the terminal wraps, settled once before the first tree is
// printed. The step may switch the character-type locale.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>

#include "render/drawing_set.h"
#include "render/terminal.h"

// What the command line asks of the output, as the render layer needs it.
struct OutputOptions {
    DrawingRequest drawing = DrawingRequest::Automatic;
    bool longLines = false;  // lines are never cut: the style gets no width
    bool arguments = false;  // a line of its own for every process, with its arguments
};

// How the output looks for the whole run.
struct OutputStyle {
    DrawingChoice drawing{asciiSet, false};
    std::optional<std::uint64_t> columns;  // none: lines are never cut
    bool autoMarginNoXenl = false;         // the terminal wraps by itself after its last column
    WidthSource widthSource = WidthSource::None;
};

// Asks whether `stream`, the one the lines will be written to, is a
// terminal, chooses the drawing set and queries that terminal's width. Choosing the Unicode set, or
// trying to, switches the character-type locale to the environment's for the rest of the run: text
// encoded before this step is encoded in the POSIX locale, text encoded after it in the
// environment's.
OutputStyle setUpOutput(const OutputOptions& options, std::FILE* stream);
