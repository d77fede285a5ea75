// The columns that text takes on a terminal, by the widths of the
// character-type locale in force.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The columns a character of the locale takes: none for a combining mark,
// two for a wide character, one for a character without a width of its own
// (the terminal shows something for it).
std::uint64_t characterColumns(wchar_t character);

// The columns that `text` takes. A byte that starts no character counts as
// one, as a terminal shows one replacement for it. Text of ASCII alone is
// measured without decoding it: one column a byte.
std::uint64_t textColumns(std::string_view text);

// The bytes of the longest start of `text` that is whole characters of the
// locale filling at most `width` columns. It stops early at a byte sequence
// that is no character.
std::size_t fittingBytes(std::string_view text, std::uint64_t width);
