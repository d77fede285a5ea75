#include "support/columns.h"

#include "support/escapes.h"

char32_t decodeUtf8At(const std::string& text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xe  ? 3
                               : (lead >> 3) == 0x1e ? 4
                                                     : 0;
    if (length == 0 || at + length > text.size()) {
        ++at;
        return 0xDC00 + lead;
    }
    char32_t code = length == 1 ? lead : lead & (0x7f >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xc0) != 0x80) {
            ++at;
            return 0xDC00 + lead;
        }
        code = (code << 6) | (byte(at + i) & 0x3f);
    }
    at += length;
    return code;
}

bool isWide(char32_t code) {
    return (code >= 0x1100 && code <= 0x115f) ||
           (code >= 0x2e80 && code <= 0xa4cf && code != 0x303f) ||
           (code >= 0xac00 && code <= 0xd7a3) || (code >= 0xf900 && code <= 0xfaff) ||
           (code >= 0xfe30 && code <= 0xfe4f) || (code >= 0xff00 && code <= 0xff60) ||
           (code >= 0xffe0 && code <= 0xffe6) || (code >= 0x20000 && code <= 0x3fffd);
}

std::size_t columnsOf(const std::string& line) {
    const std::string text = withoutOwnEscapes(line);
    std::size_t columns = 0;
    for (std::size_t at = 0; at < text.size();) columns += isWide(decodeUtf8At(text, at)) ? 2 : 1;
    return columns;
}
