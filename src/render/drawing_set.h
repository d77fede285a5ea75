// The three sets of line-drawing characters and the choice among them.
#pragma once

#include <cstdint>
#include <cwchar>

struct DrawingSet {
    wchar_t horizontal;
    wchar_t vertical;
    wchar_t corner;
    wchar_t tee;
    wchar_t downTee;
};

inline constexpr DrawingSet asciiSet{L'-', L'|', L'`', L'|', L'+'};
// Letters that draw lines while the VT100 alternate character set is selected.
inline constexpr DrawingSet vt100Set{L'q', L'x', L'm', L't', L'w'};
inline constexpr DrawingSet unicodeSet{L'\u2500', L'\u2502', L'\u2514', L'\u251c', L'\u252c'};

struct DrawingChoice {
    DrawingSet set;
    bool escapes;  // the set needs the alternate-character-set escapes
};

// The set the run asks for: one by name, or the one that suits the output.
enum class DrawingRequest : std::uint8_t { Automatic, Ascii, Vt100, Unicode };

// Picks the set from the request and whether standard output is a terminal.
// The Unicode probe (asked for, or on a terminal when nothing is asked for)
// switches the character-type locale to the environment's and falls back to
// the VT100 set when the box-drawing characters do not survive a round trip
// through it. Chosen automatically, the Unicode set must also draw cleanly
// (unicodeDrawsCleanly); asked for, it stands wherever it can be encoded.
DrawingChoice chooseDrawingSet(DrawingRequest request, bool isTerminal);

// The two steps of the Unicode probe. The first switches the character-type
// locale to the environment's and answers whether the environment's was
// accepted (a rejected one changes nothing); the second only asks whether
// the Unicode set's characters survive a round trip through the locale in
// force.
bool switchToEnvironmentLocale();
bool unicodeSetRoundTrips();

// Whether the Unicode set, in the locale in force, draws the tree as a
// terminal expects: every character one column wide (the legacy CJK locales
// give them two), and none encoded as a single byte from 0x80 to 0x9F (the
// box characters of KOI8-R and KOI8-U), which a terminal in an 8-bit mode
// takes for a C1 control.
bool unicodeDrawsCleanly();
