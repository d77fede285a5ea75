// A command name as the /proc parsers leave it.
#pragma once

#include <cstddef>

// Longest command name kept. Linux gives a user process up to 15 bytes and
// reports up to 63 for its kernel workers.
constexpr std::size_t longestName = 64;

// At most longestName bytes and a NUL.
struct CommandName {
    char text[longestName + 1] = {};
};
