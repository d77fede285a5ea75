// The columns that text takes on a terminal, by the widths of the
// character-type locale in force.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// The columns a character of the locale takes: none for a combining mark,
// two for a wide character, one for a character without a width of its own
// (the terminal shows something for it).
std::uint64_t characterColumns(wchar_t character);

// Whether every byte of `text` is below 0x80. Every line's labels and
// arguments are asked, and most are short: words of eight or four bytes are
// read at once, the last one overlapping the one before.
inline bool isAscii(std::string_view text) {
    const char* bytes = text.data();
    const std::size_t size = text.size();
    if (size >= 8) {
        std::uint64_t any = 0;
        for (std::size_t at = 0; at + 8 < size; at += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes + at, sizeof word);
            any |= word;
        }
        std::uint64_t word;
        std::memcpy(&word, bytes + size - 8, sizeof word);
        return ((any | word) & 0x8080808080808080u) == 0;
    }
    if (size >= 4) {
        std::uint32_t first;
        std::uint32_t last;
        std::memcpy(&first, bytes, sizeof first);
        std::memcpy(&last, bytes + size - 4, sizeof last);
        return ((first | last) & 0x80808080u) == 0;
    }
    unsigned any = 0;
    for (std::size_t at = 0; at < size; ++at) any |= static_cast<unsigned char>(bytes[at]);
    return (any & 0x80u) == 0;
}

// The columns of text that is not ASCII alone (see textColumns).
std::uint64_t decodedColumns(std::string_view text);

// The columns that `text` takes. A byte that starts no character counts as
// one, as a terminal shows one replacement for it. Text of ASCII alone is
// measured without decoding it: text that reaches the writer is encoded, so
// its ASCII bytes are printable, one column each.
inline std::uint64_t textColumns(std::string_view text) {
    return isAscii(text) ? text.size() : decodedColumns(text);
}

// The bytes of the longest start of `text` that is whole characters of the
// locale filling at most `width` columns. It stops early at a byte sequence
// that is no character.
std::size_t fittingBytes(std::string_view text, std::uint64_t width);
