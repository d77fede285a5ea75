// How many columns a terminal fills with a line of vindle's output.
#pragma once

#include <cstddef>
#include <string>

// Decodes the UTF-8 character at `at` and moves `at` past it. A byte that
// starts no valid sequence is consumed alone and decodes to 0xDC00 + the
// byte, which is no character and never a control.
char32_t decodeUtf8At(const std::string& text, std::size_t& at);

// The columns that `line` (without its newline) fills on a terminal that
// shows the character-type locale `locale`, as that locale's wcwidth counts
// them: vindle's own escape sequences fill none, a combining or zero-width
// character none, a wide character two. A byte that starts no character of
// the locale, or a character without a width of its own, fills one. Where
// the locale is not installed, the running test fails with a message that
// names it, and each byte counts one column.
std::size_t columnsOf(const std::string& line, const std::string& locale);
