// Where the argument vectors of a run's processes come from: the system's
// process table, or whatever a test gives in its place.
#pragma once

#include <sys/types.h>

#include <functional>

#include "platform/process_source.h"

class ArgumentSource {
  public:
    // The vector of a process by its pid, ended by a null pointer, valid
    // until the next call; null when the process has none.
    using Reader = std::function<char**(pid_t)>;

    // No process has a vector.
    ArgumentSource() = default;
    // Vectors read from the system's table, which must stay open as long as
    // the source is used. Implicit: the table is the program's one source.
    ArgumentSource(SourceHandle& source)  // NOLINT
        : read([&source](pid_t pid) { return readArguments(source, pid); }) {}
    explicit ArgumentSource(Reader reader) : read(std::move(reader)) {}

    // The argument vector of process `pid`, or null when it has none.
    // Throws a Failure when it cannot be read for want of a resource.
    char** vectorOf(pid_t pid) const { return read ? read(pid) : nullptr; }

  private:
    Reader read;
};
