// The output width from the terminal description.
#pragma once

#include <cstdint>

#include "common/option_flags.h"

struct TerminalWidth {
    std::uint64_t columns = 0;      // 0: no limit
    bool autoMarginNoXenl = false;  // wraps by itself after the last column
};

// No limit on a pipe or with --long; otherwise the terminfo description of
// TERM, or 80 columns when there is none.
TerminalWidth queryWidth(OptionFlags flags, bool isTerminal);
