// Making sure that output which could not be written is not reported as
// success.
#pragma once

// Registered with atexit, it runs at every exit, after help and version
// output too: output that could not be written ends the run with status 1
// and a message, never with 0. A reader that stopped reading early
// (`vindle | head -1` with SIGPIPE ignored) ends it quietly. A closed
// standard output that nothing was written to loses nothing.
void closeStandardOutputAtExit();
