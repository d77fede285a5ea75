// Text from processes and from the user database made safe to print: command
// names, titles, arguments and user names.
#pragma once

#include <string>
#include <string_view>

// Whether every byte of `text` is printable ASCII (space to tilde), which
// visEncode leaves as it is in every locale. Most names and arguments are:
// they need no encoding pass at all.
bool isPrintableAscii(std::string_view text);

// `text` made safe to print, in the character-type locale in force. Every
// character of that locale that it calls printable stays as it is; every
// other byte (controls, DEL, the C1 controls U+0080 to U+009F, bytes of
// sequences that are no character of the locale) is encoded on its own as
// strvis encodes it in the POSIX locale with VIS_NOSLASH | VIS_NL | VIS_TAB,
// for instance ^[ for ESC, \012 for a newline, M-) for byte 0xA9. The result
// therefore holds no byte below 0x20, no DEL, no C1 control and nothing that
// is not a character of the locale, whatever the text; in the POSIX locale it
// is strvis's encoding of the whole text. A NUL byte in `text` is encoded too.
std::string visEncode(std::string_view text);

// `text` as strvis encodes it in the POSIX locale, whatever the locale in
// force: printable ASCII alone, every other byte encoded on its own. For text
// that the user gave and a message quotes.
std::string visEncodePosix(std::string_view text);
