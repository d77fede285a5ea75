// Fuzzes visEncode with any bytes, in C.UTF-8, in KOI8-R and in the POSIX
// locale.
//
// In C.UTF-8 the result must hold no byte below 0x20 (NUL among them), no
// DEL, nothing that is not well-formed UTF-8 (shortest forms, no surrogates,
// nothing above U+10FFFF), no C1 control U+0080 to U+009F and none of the
// characters that show nothing or reorder the line (every default-ignorable
// code point, among them the bidirectional controls, zero-width characters
// and tags). In KOI8-R, a locale of one byte per character that calls the
// bytes 0x80 to 0x9F printable, it must hold no byte below 0x20, no DEL and
// none of 0x80 to 0x9F, and every other byte above 0x7F must be a printable
// character of the locale; where KOI8-R is not installed that check is left
// out. In the POSIX locale it must be strvis's encoding of the text up to
// its first NUL, which is printable ASCII only. Always it is at most four
// bytes per byte.
#include <locale.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <string>
#include <string_view>

#include "platform/vis.h"
#include "process/invisible_character.h"
#include "process/visible_text.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

locale_t utf8Locale;
locale_t posixLocale;
locale_t singleByteLocale;  // KOI8-R, or none

// The length of the well-formed UTF-8 character at the start of `text`
// that is no C1 control, or 0.
std::size_t cleanUtf8Length(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 0;
    if (length == 0 || lead > 0xf4 || length > text.size()) return 0;
    char32_t code = lead & (0x7fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[k]);
        if ((next & 0xc0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3fu);
    }
    const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (code < least || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
    if (code <= 0x9f) return 0;
    if (isInvisibleCharacter(code)) return 0;
    return length;
}

void checkUtf8(std::string_view text) {
    uselocale(utf8Locale);
    const std::string encoded = visEncode(text);
    require(encoded.size() <= 4 * text.size());
    for (std::size_t at = 0; at < encoded.size();) {
        const auto byte = static_cast<unsigned char>(encoded[at]);
        require(byte >= 0x20 && byte != 0x7f);
        if (byte < 0x80) {
            ++at;
            continue;
        }
        const std::size_t length = cleanUtf8Length(std::string_view(encoded).substr(at));
        require(length > 0);
        at += length;
    }
}

void checkSingleByte(std::string_view text) {
    if (singleByteLocale == locale_t{}) return;
    uselocale(singleByteLocale);
    const std::string encoded = visEncode(text);
    require(encoded.size() <= 4 * text.size());
    for (const char c : encoded) {
        const auto byte = static_cast<unsigned char>(c);
        require(byte >= 0x20 && byte != 0x7f && (byte < 0x80 || byte > 0x9f));
        if (byte < 0x80) continue;
        wchar_t character = 0;
        std::mbstate_t state{};
        require(std::mbrtowc(&character, &c, 1, &state) == 1);
        require(std::iswprint(static_cast<wint_t>(character)) != 0);
    }
}

void checkPosix(std::string_view text) {
    uselocale(posixLocale);
    const std::string untilNul(text.substr(0, text.find('\0')));
    const std::string encoded = visEncode(untilNul);
    std::string expected(4 * untilNul.size() + 1, '\0');
    const int written = strvis(expected.data(), untilNul.c_str(), VIS_NOSLASH | VIS_NL | VIS_TAB);
    require(written >= 0);
    expected.resize(static_cast<std::size_t>(written));
    require(encoded == expected);
    for (const char c : encoded) require(c >= 0x20 && c < 0x7f);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    utf8Locale = newlocale(LC_ALL_MASK, "C.UTF-8", locale_t{});
    posixLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    require(utf8Locale != locale_t{} && posixLocale != locale_t{});
    singleByteLocale = newlocale(LC_ALL_MASK, "ru_RU.KOI8-R", locale_t{});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkUtf8(text);
    checkSingleByte(text);
    checkPosix(text);
    uselocale(LC_GLOBAL_LOCALE);
    return 0;
}
