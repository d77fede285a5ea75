#include "render/text_width.h"

#include <cwchar>

std::uint64_t characterColumns(wchar_t character) {
    const int shown = wcwidth(character);
    return shown < 0 ? 1 : static_cast<std::uint64_t>(shown);
}

std::uint64_t decodedColumns(std::string_view text) {
    std::mbstate_t state{};
    std::uint64_t used = 0;
    for (std::size_t at = 0; at < text.size();) {
        wchar_t character = 0;
        std::size_t length = std::mbrtowc(&character, text.data() + at, text.size() - at, &state);
        if (length == 0 || length > text.size() - at) {
            state = std::mbstate_t{};
            length = 1;
            used += 1;
        } else {
            used += characterColumns(character);
        }
        at += length;
    }
    return used;
}

std::size_t fittingBytes(std::string_view text, std::uint64_t width) {
    std::mbstate_t state{};
    std::size_t kept = 0;
    for (std::uint64_t used = 0; kept < text.size();) {
        wchar_t character = 0;
        const std::size_t length =
            std::mbrtowc(&character, text.data() + kept, text.size() - kept, &state);
        if (length == 0 || length > text.size() - kept) break;
        used += characterColumns(character);
        if (used > width) break;
        kept += length;
    }
    return kept;
}
