// A process's argument vector as the platform layer reads it, and how much
// of it a caller needs.
#pragma once

#include <cstdint>

// How much of a vector is read: the title (its first string) is all that a
// label needs; the arguments need the rest. A source may give more than
// asked for.
enum class ArgumentExtent : std::uint8_t { title, all };

// A vector of NUL-terminated strings ended by a null entry, or no vector
// (null `words`). A vector read from the kernel is read no further than an
// execve could have passed; `cut` says that the process's text went on
// beyond where the read stopped, so that its last string may be a part of
// one and strings after it are missing.
struct ArgumentVector {
    char** words = nullptr;
    bool cut = false;
};
