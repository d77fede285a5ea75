#include "cli/output_options.h"

namespace {

DrawingRequest drawingRequestOf(OptionFlags flags) {
    if ((flags & Flag::ascii) != 0) return DrawingRequest::Ascii;
    if ((flags & Flag::unicode) != 0) return DrawingRequest::Unicode;
    if ((flags & Flag::vt100) != 0) return DrawingRequest::Vt100;
    return DrawingRequest::Automatic;
}

}  // namespace

OutputOptions outputOptionsOf(OptionFlags flags) {
    OutputOptions options;
    options.drawing = drawingRequestOf(flags);
    options.longLines = (flags & Flag::longLines) != 0;
    options.arguments = (flags & Flag::arguments) != 0;
    return options;
}
