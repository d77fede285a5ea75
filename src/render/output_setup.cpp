#include "render/output_setup.h"

#include <unistd.h>

#include "render/terminal.h"

OutputStyle setUpOutput(const OutputOptions& options, std::FILE* stream) {
    const int fd = fileno(stream);
    const bool isTerminal = fd >= 0 && isatty(fd) != 0;
    // The drawing set first: the terminal library is set up in the locale
    // that the output is printed in.
    const DrawingChoice drawing = chooseDrawingSet(options.drawing, isTerminal);
    const TerminalWidth width = queryWidth(options.longLines, isTerminal, fd);
    return {drawing, width.columns, width.autoMarginNoXenl, width.source};
}
