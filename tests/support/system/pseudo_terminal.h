// A new pseudo-terminal pair, for running a program on a terminal.
#pragma once

// Opens a pseudo-terminal with a window of `rows` by `columns` (0 by 0: one
// that reports no size). `slave` is the terminal side; neither side becomes
// the caller's controlling terminal. False when none can be opened.
bool openPseudoTerminal(int& master, int& slave, unsigned short rows, unsigned short columns);
