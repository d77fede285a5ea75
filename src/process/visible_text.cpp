#include "process/visible_text.h"

#include <locale.h>

#include <cwchar>
#include <cwctype>
#include <new>

#include "platform/vis.h"
#include "process/invisible_character.h"

namespace {

constexpr int visFlags = VIS_NOSLASH | VIS_NL | VIS_TAB;

bool isPrintableAsciiByte(unsigned char byte) { return byte >= 0x20 && byte < 0x7f; }

// The POSIX locale as an object that one thread can switch to for a moment.
locale_t posixLocale() {
    static const locale_t posix = newlocale(LC_ALL_MASK, "C", locale_t{});
    if (posix == locale_t{}) throw std::bad_alloc();
    return posix;
}

// Appends `bytes` as strvis encodes them in the POSIX locale, where every
// byte is a character of its own and each becomes one to four printable
// ASCII bytes. In a multibyte locale strvis may decode invalid text into
// characters and write them back as the low bytes of their code points, raw
// controls among them: the calling thread therefore switches to the POSIX
// locale for the call. Given a single byte, libbsd's strvisx reads the byte
// after it as well, to look ahead, even though the text may end there: a
// lone byte is therefore handed over in a buffer of its own that ends in a
// NUL.
void appendPosixEncoding(std::string& out, std::string_view bytes) {
    if (bytes.empty()) return;
    const char loneByte[2] = {bytes[0], '\0'};
    const char* source = bytes.size() == 1 ? loneByte : bytes.data();
    const std::size_t start = out.size();
    out.resize(start + 4 * bytes.size() + 1);
    const locale_t previous = uselocale(posixLocale());
    const int written = strvisx(out.data() + start, source, bytes.size(), visFlags);
    uselocale(previous);
    out.resize(start + (written > 0 ? static_cast<std::size_t>(written) : 0));
}

// Whether `wide` is a C1 control, U+0080 to U+009F, which a terminal may take
// for the start of an escape sequence.
bool isC1Control(wchar_t wide) { return wide >= 0x80 && wide <= 0x9f; }

// Whether `byte`, the whole of a character in a locale of one byte per
// character, lies in 0x80 to 0x9F. KOI8-R and CP1251 call those bytes
// printable letters and signs, but a terminal in an 8-bit mode takes them
// for the C1 controls (0x9B for CSI) whatever the locale says.
bool isEightBitControl(unsigned char byte) { return byte >= 0x80 && byte <= 0x9f; }

// The length of the character that `text` starts with, its first byte above
// 0x7F, when it is shown as it is: a character of the locale that the locale
// calls printable, not a C1 control and made of no byte below 0x20 or DEL.
// Otherwise 0: that first byte is encoded, and the next one is looked at
// afresh.
std::size_t shownCharacterLength(std::string_view text) {
    wchar_t wide = 0;
    std::mbstate_t state{};
    const std::size_t length = std::mbrtowc(&wide, text.data(), text.size(), &state);
    // (size_t)-1 and -2: an invalid sequence, or one cut short by the end.
    if (length > text.size()) return 0;
    if (!std::iswprint(static_cast<wint_t>(wide)) || isC1Control(wide) ||
        isInvisibleCharacter(static_cast<char32_t>(wide)))
        return 0;
    if (length == 1 && isEightBitControl(static_cast<unsigned char>(text[0]))) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7f) return 0;
    }
    return length;
}

}  // namespace

bool isPrintableAscii(std::string_view text) {
    for (const char c : text)
        if (!isPrintableAsciiByte(static_cast<unsigned char>(c))) return false;
    return true;
}

std::string visEncode(std::string_view text) {
    if (isPrintableAscii(text)) return std::string(text);
    std::string encoded;
    encoded.reserve(text.size());
    // The text is cut into runs at the characters above ASCII that are shown
    // as they are. A run holds ASCII and the bytes to encode; it is encoded
    // as a whole, since the POSIX encoding of each byte does not depend on
    // its neighbours and leaves printable ASCII as it is, and copied when it
    // holds nothing to encode. In the POSIX locale, where no byte above ASCII
    // is a printable character, the whole text is one run.
    std::size_t runStart = 0;
    bool runNeedsEncoding = false;
    auto endRun = [&](std::size_t end) {
        const std::string_view run = text.substr(runStart, end - runStart);
        if (runNeedsEncoding)
            appendPosixEncoding(encoded, run);
        else
            encoded.append(run);
    };
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        const std::size_t length = byte < 0x80 ? 0 : shownCharacterLength(text.substr(at));
        if (length == 0) {
            runNeedsEncoding = runNeedsEncoding || !isPrintableAsciiByte(byte);
            ++at;
            continue;
        }
        endRun(at);
        encoded.append(text.substr(at, length));
        at += length;
        runStart = at;
        runNeedsEncoding = false;
    }
    endRun(text.size());
    return encoded;
}

std::string visEncodePosix(std::string_view text) {
    if (isPrintableAscii(text)) return std::string(text);
    std::string encoded;
    appendPosixEncoding(encoded, text);
    return encoded;
}
