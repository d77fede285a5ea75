// A copy of a program that every user can run: the way to the original may
// be closed to others (a clone in root's home, mode 0700 on Debian), so a
// test that runs a program as another user runs this copy instead.
#pragma once

#include <string>

#include "support/program/scratch_directory.h"

class ProgramCopy {
  public:
    // Copies `program` into a new directory under the temporary directory;
    // both are open to everyone for reading and running. Throws when the
    // copy cannot be made.
    explicit ProgramCopy(const std::string& program);

    const std::string& path() const { return copyPath; }

  private:
    ScratchDirectory directory;
    std::string copyPath;
};
