// Running a program on a real pseudo-terminal, and terminal descriptions of
// a test's own.
#pragma once

#include <string>
#include <vector>

#include "support/program/run_program.h"

// Runs `program` with `arguments` and exactly `environment`, its standard
// input and output on a new pseudo-terminal of `size` that is its
// controlling terminal, and its standard error on a pipe. The terminal does
// no output processing, so `out` holds the program's bytes unchanged.
ProgramResult runOnTerminal(const std::string& program, const std::vector<std::string>& arguments,
                            TerminalSize size, const std::vector<std::string>& environment,
                            int timeoutSeconds = 60);

// A private terminfo directory holding the descriptions of `source`, compiled
// with `tic -x -o`. Point TERMINFO at path(). Removed with the object.
class TerminfoDirectory {
  public:
    explicit TerminfoDirectory(const std::string& source);
    ~TerminfoDirectory();
    TerminfoDirectory(const TerminfoDirectory&) = delete;
    TerminfoDirectory& operator=(const TerminfoDirectory&) = delete;

    const std::string& path() const { return directory; }

  private:
    std::string directory;
};
