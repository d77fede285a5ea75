// Where the argument vectors of a run's processes come from: the system's
// process table, or whatever a test gives in its place.
#pragma once

#include <sys/types.h>

#include <functional>

#include "platform/argument_vector.h"
#include "platform/process_source.h"

class ArgumentSource {
  public:
    // The vector of a process by its pid, read as far as the extent needs
    // it, valid until the next call; no words when the process has none.
    using Reader = std::function<ArgumentVector(pid_t, ArgumentExtent)>;

    // No process has a vector.
    ArgumentSource() = default;
    // Vectors read from the system's table, which must stay open as long as
    // the source is used. Implicit: the table is the program's one source.
    ArgumentSource(SourceHandle& source)  // NOLINT
        : read([&source](pid_t pid, ArgumentExtent extent) {
              return readArguments(source, pid, extent);
          }) {}
    explicit ArgumentSource(Reader reader) : read(std::move(reader)) {}

    // The argument vector of process `pid`, as far as `extent` needs it, or
    // no words when it has none. Throws a Failure when it cannot be read
    // for want of a resource.
    ArgumentVector vectorOf(pid_t pid, ArgumentExtent extent) const {
        return read ? read(pid, extent) : ArgumentVector{};
    }

  private:
    Reader read;
};
