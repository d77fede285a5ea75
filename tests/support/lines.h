// Splitting program output into lines.
#pragma once

#include <string>
#include <vector>

// The lines of `text`, without their newlines; a last line without a
// newline counts as a line.
std::vector<std::string> linesOf(const std::string& text);
