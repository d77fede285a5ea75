#include "support/system/pseudo_terminal.h"

#include <pty.h>

bool openPseudoTerminal(int& master, int& slave, unsigned short rows, unsigned short columns) {
    winsize window{};
    window.ws_row = rows;
    window.ws_col = columns;
    return openpty(&master, &slave, nullptr, nullptr, &window) == 0;
}
