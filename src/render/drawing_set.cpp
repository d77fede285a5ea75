#include "render/drawing_set.h"

#include <climits>
#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <vector>

bool switchToEnvironmentLocale() { return std::setlocale(LC_CTYPE, "") != nullptr; }

bool unicodeSetRoundTrips() {
    std::vector<char> buffer(MB_CUR_MAX);
    const DrawingSet& set = unicodeSet;
    for (wchar_t wanted : {set.horizontal, set.vertical, set.corner, set.tee, set.downTee}) {
        int length = std::wctomb(buffer.data(), wanted);
        if (length == -1) return false;
        wchar_t back = 0;
        if (std::mbtowc(&back, buffer.data(), static_cast<std::size_t>(length)) == -1 ||
            back != wanted)
            return false;
    }
    return true;
}

bool unicodeDrawsCleanly() {
    const DrawingSet& set = unicodeSet;
    for (wchar_t character : {set.horizontal, set.vertical, set.corner, set.tee, set.downTee}) {
        if (wcwidth(character) != 1) return false;
        char bytes[MB_LEN_MAX];
        std::mbstate_t state{};
        const std::size_t length = std::wcrtomb(bytes, character, &state);
        if (length == 1 && static_cast<unsigned char>(bytes[0]) >= 0x80 &&
            static_cast<unsigned char>(bytes[0]) <= 0x9f)
            return false;
    }
    return true;
}

namespace {

// The Unicode set when the locale can encode it (and, for the automatic
// choice, draw it cleanly), the VT100 set otherwise.
DrawingChoice probeUnicode(DrawingRequest request) {
    if (switchToEnvironmentLocale() && unicodeSetRoundTrips() &&
        (request == DrawingRequest::Unicode || unicodeDrawsCleanly()))
        return {unicodeSet, false};
    return {vt100Set, true};
}

}  // namespace

DrawingChoice chooseDrawingSet(DrawingRequest request, bool isTerminal) {
    switch (request) {
        case DrawingRequest::Ascii:
            return {asciiSet, false};
        case DrawingRequest::Unicode:
            return probeUnicode(request);
        case DrawingRequest::Vt100:
            return {vt100Set, true};
        case DrawingRequest::Automatic:
            break;
    }
    if (isTerminal) return probeUnicode(request);
    return {asciiSet, false};
}
