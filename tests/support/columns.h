// How many columns a terminal fills with a line of vindle's output.
#pragma once

#include <cstddef>
#include <string>

// Decodes the UTF-8 character at `at` and moves `at` past it. A byte that
// starts no valid sequence is consumed alone and decodes to 0xDC00 + the
// byte, which is no character and never a control.
char32_t decodeUtf8At(const std::string& text, std::size_t& at);

// Whether a terminal shows `code` in two columns (the East Asian wide and
// full-width ranges).
bool isWide(char32_t code);

// The columns that `line` (UTF-8, without its newline) fills on a terminal:
// vindle's own escape sequences fill none, a wide character two, every
// other character one.
std::size_t columnsOf(const std::string& line);
