// Characters that show nothing although the C library calls them printable.
#pragma once

// Whether the character `code` (a Unicode code point) shows nothing or
// changes how the rest of the line is shown: every default-ignorable code
// point (the bidirectional controls, the zero-width characters, the tag
// characters, the variation selectors, the Hangul fillers and the others
// that Unicode gives that property), and the interlinear annotation
// characters U+FFF9 to U+FFFB, format characters that show nothing either.
// A name made of them can look empty or like another name, and a title can
// carry text that no one sees.
bool isInvisibleCharacter(char32_t code);
