// Restarting getopt_long from the first argument, which each libc spells in
// its own way.
#pragma once

// Makes the next getopt_long call start a fresh scan of a new argument vector.
void resetGetopt();
