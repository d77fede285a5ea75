#include "render/terminal.h"

#include <curses.h>
#include <term.h>
#undef columns  // term.h names every capability as a macro

TerminalWidth queryWidth(bool longLines, bool isTerminal, int fd) {
    TerminalWidth width;
    if (!isTerminal || longLines) return width;
    int error = 0;
    if (setupterm(nullptr, fd, &error) != OK) {
        width.columns = 80;
        return width;
    }
    // Sign-widened: an absent capability (-1) becomes a width no line reaches.
    width.columns =
        static_cast<std::uint64_t>(static_cast<std::int64_t>(tigetnum(const_cast<char*>("cols"))));
    width.autoMarginNoXenl =
        tigetflag(const_cast<char*>("am")) != 0 && tigetflag(const_cast<char*>("xenl")) == 0;
    return width;
}
