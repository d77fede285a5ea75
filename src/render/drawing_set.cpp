#include "render/drawing_set.h"

#include <clocale>
#include <cstdlib>
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

namespace {

DrawingChoice probeUnicode() {
    if (switchToEnvironmentLocale() && unicodeSetRoundTrips()) return {unicodeSet, false};
    return {vt100Set, true};
}

}  // namespace

DrawingChoice chooseDrawingSet(DrawingRequest request, bool isTerminal) {
    switch (request) {
        case DrawingRequest::Ascii:
            return {asciiSet, false};
        case DrawingRequest::Unicode:
            return probeUnicode();
        case DrawingRequest::Vt100:
            return {vt100Set, true};
        case DrawingRequest::Automatic:
            break;
    }
    if (isTerminal) return probeUnicode();
    return {asciiSet, false};
}
