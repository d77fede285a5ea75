// The output width from the terminal description.
#pragma once

#include <cstdint>

struct TerminalWidth {
    std::uint64_t columns = 0;      // 0: no limit
    bool autoMarginNoXenl = false;  // wraps by itself after the last column
};

// No limit on a pipe or when lines are never cut (`longLines`); otherwise
// the terminfo description of TERM for the terminal on `fd`, or 80 columns
// when there is none.
TerminalWidth queryWidth(bool longLines, bool isTerminal, int fd);
