#include "support/program/columns.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <cwchar>

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

std::size_t columnsOf(const std::string& line, const std::string& locale) {
    const std::string text = withoutOwnEscapes(line);
    const locale_t measure = newlocale(LC_CTYPE_MASK, locale.c_str(), locale_t{});
    if (measure == locale_t{}) {
        ADD_FAILURE() << "cannot measure columns: the locale " << locale << " is not installed";
        return text.size();
    }
    const locale_t previous = uselocale(measure);
    std::size_t columns = 0;
    std::mbstate_t state{};
    for (std::size_t at = 0; at < text.size();) {
        wchar_t character = 0;
        std::size_t length = std::mbrtowc(&character, text.data() + at, text.size() - at, &state);
        if (length == 0 || length > text.size() - at) {
            state = std::mbstate_t{};
            length = 1;
            columns += 1;
        } else {
            const int width = wcwidth(character);
            columns += width < 0 ? 1 : static_cast<std::size_t>(width);
        }
        at += length;
    }
    uselocale(previous);
    freelocale(measure);
    return columns;
}
