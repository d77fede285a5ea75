// The output width from the terminal description.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Where the width at which lines are cut comes from.
enum class WidthSource : std::uint8_t {
    None,         // no limit: a pipe, or lines that are never cut
    Terminal,     // the window's size or the description's cols
    Environment,  // COLUMNS, where it differs from the window's size
    Fallback,     // 80 columns, for a terminal that terminfo does not know
};

struct TerminalWidth {
    std::optional<std::uint64_t> columns;  // none: lines are never cut
    bool autoMarginNoXenl = false;         // wraps by itself after the last column
    WidthSource source = WidthSource::None;
};

// No limit on a pipe or when lines are never cut (`longLines`); otherwise
// the terminfo description of TERM for the terminal on `fd`, or 80 columns
// when there is none. A description that gives no width above 0 (an absent
// capability, or 0) sets no limit. The terminfo library is asked in a short-lived child
// process, since it may overrun its heap on a broken compiled description:
// a child that cannot be had, dies or answers nonsense gives 80 columns as
// well. There the library reads a description with large buffers on the
// stack, more than a small RLIMIT_STACK leaves: it is asked on a thread
// whose stack is sized for it; when that thread cannot be started and the
// stack is too small to ask without one, it throws a Failure. Call it while
// this process has one thread.
TerminalWidth queryWidth(bool longLines, bool isTerminal, int fd);
