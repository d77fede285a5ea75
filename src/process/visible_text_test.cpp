#include "process/visible_text.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/vis.h"

namespace {

// Names a case after its locale, in the characters a test's name may hold.
std::string localeName(const testing::TestParamInfo<const char*>& test) {
    std::string name = test.param;
    for (char& c : name)
        if (std::isalnum(static_cast<unsigned char>(c)) == 0) c = '_';
    return name;
}

// Sets LC_CTYPE for one scope and restores the previous one.
class CtypeLocale {
  public:
    explicit CtypeLocale(const char* name) : previous(std::setlocale(LC_CTYPE, nullptr)) {
        active = std::setlocale(LC_CTYPE, name) != nullptr;
    }
    ~CtypeLocale() { std::setlocale(LC_CTYPE, previous.c_str()); }
    CtypeLocale(const CtypeLocale&) = delete;
    CtypeLocale& operator=(const CtypeLocale&) = delete;
    bool active = false;

  private:
    std::string previous;
};

std::string hex(unsigned value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02x", value);
    return buffer;
}

// The bytes of `code` in the UTF-8 scheme, also for surrogates and values
// beyond U+10FFFF, which no valid text holds.
std::string utf8Bytes(char32_t code) {
    auto byte = [](char32_t value) { return static_cast<char>(value); };
    if (code < 0x80) return {byte(code)};
    if (code < 0x800) return {byte(0xc0 | (code >> 6)), byte(0x80 | (code & 0x3f))};
    if (code < 0x10000)
        return {byte(0xe0 | (code >> 12)), byte(0x80 | ((code >> 6) & 0x3f)),
                byte(0x80 | (code & 0x3f))};
    return {byte(0xf0 | (code >> 18)), byte(0x80 | ((code >> 12) & 0x3f)),
            byte(0x80 | ((code >> 6) & 0x3f)), byte(0x80 | (code & 0x3f))};
}

// The first thing in `text` that must not reach a terminal, or "" when
// there is none: a byte below 0x20 (NUL among them) or DEL; in the C locale
// any byte above 0x7E; in UTF-8 anything but well-formed UTF-8 (shortest
// form, no surrogate, nothing above U+10FFFF) and the C1 controls.
std::string firstFault(const std::string& text, bool utf8) {
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::string where = " at " + std::to_string(i);
        if (byte < 0x20 || byte == 0x7f) return "control byte 0x" + hex(byte) + where;
        if (byte < 0x80) {
            ++i;
            continue;
        }
        if (!utf8) return "byte 0x" + hex(byte) + where;
        const std::size_t length = byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : byte >= 0xc0 ? 2 : 0;
        if (length == 0 || byte > 0xf4 || i + length > text.size())
            return "invalid UTF-8 0x" + hex(byte) + where;
        char32_t code = byte & (0x7f >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0) != 0x80) return "invalid UTF-8 0x" + hex(byte) + where;
            code = (code << 6) | (next & 0x3f);
        }
        const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (code < least || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
            return "invalid UTF-8 U+" + hex(code) + where;
        if (code <= 0x9f) return "C1 control U+00" + hex(code) + where;
        i += length;
    }
    return "";
}

std::string strvisOf(const std::string& text) {
    std::string encoded(4 * text.size() + 1, '\0');
    const int written = strvis(encoded.data(), text.c_str(), VIS_NOSLASH | VIS_NL | VIS_TAB);
    encoded.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return encoded;
}

// Texts of random bytes from 1 to `highest`, of up to 40 bytes each.
std::vector<std::string> randomTexts(unsigned highest, int count) {
    unsigned seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) {
        std::string text(next() % 40, ' ');
        for (char& c : text) c = static_cast<char>(1 + next() % highest);
        texts.push_back(text);
    }
    return texts;
}

TEST(VisEncodeTest, ThePosixLocaleGivesStrvisOfTheWholeText) {
    CtypeLocale scope("C");
    ASSERT_TRUE(scope.active);
    struct Case {
        std::string text;
        std::string encoded;
    };
    const Case cases[] = {
        {"plain text", "plain text"},
        {"a\tb", "a\\011b"},
        {"a\nb", "a\\012b"},
        {"\x1b[1mX", "^[[1mX"},
        {"\x01\x7f", "^A^?"},
        {"back\\slash", "back\\slash"},  // not doubled
        {"\x9b"
         "1",
         "M^[1"},                  // C1 byte
        {"\xc3\xa9", "M-CM-)"},    // é: no multibyte text in C
        {"\xa0\xff", "\\240M^?"},  // no-break space, and the last byte
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(visEncode(c.text), c.encoded) << testing::PrintToString(c.text);
    std::vector<std::string> texts = randomTexts(255, 2000);
    for (int byte = 1; byte < 256; ++byte) {
        texts.push_back(std::string(1, static_cast<char>(byte)));
        texts.push_back("a" + std::string(1, static_cast<char>(byte)) + "b");
    }
    for (const std::string& text : texts) {
        const std::string encoded = visEncode(text);
        EXPECT_EQ(encoded, strvisOf(text)) << testing::PrintToString(text);
        EXPECT_EQ(firstFault(encoded, false), "") << testing::PrintToString(text);
    }
}

TEST(VisEncodeTest, AsciiTextsAreEncodedAlikeInEveryLocale) {
    std::vector<std::string> texts = randomTexts(127, 500);
    texts.insert(texts.end(), {" ", "\\", "a b\\c~", "sshd: root@pts/0 [priv]"});
    CtypeLocale scope("C.UTF-8");
    ASSERT_TRUE(scope.active);
    for (const std::string& text : texts)
        EXPECT_EQ(visEncode(text), strvisOf(text)) << testing::PrintToString(text);
}

TEST(VisEncodeTest, Utf8KeepsPrintableCharactersAndEncodesEveryOtherByte) {
    CtypeLocale scope("C.UTF-8");
    ASSERT_TRUE(scope.active);
    struct Case {
        const char* kind;
        std::string text;
        std::string encoded;
    };
    const Case cases[] = {
        {"printable characters of several scripts", "\xc3\xa9t\xc3\xa9 \xd0\x96 \xe2\x94\x80",
         "\xc3\xa9t\xc3\xa9 \xd0\x96 \xe2\x94\x80"},
        {"wide characters and one beyond the BMP", "\xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80",
         "\xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80"},
        // Characters whose code points end in the bytes ESC [ and newline
        // *, beside an invalid byte.
        {"characters that end in control bytes, then an invalid byte",
         "A\xe1\xad\x9b"
         "31mRED\xe1\xad\x9b"
         "0m\xe0\xa8\xaa"
         "FAKE\xff",
         "A\xe1\xad\x9b"
         "31mRED\xe1\xad\x9b"
         "0m\xe0\xa8\xaa"
         "FAKEM^?"},
        {"Cyrillic and box drawing before an invalid byte",
         "\xd0\x9f\xd1\x80\xd0\xb8 \xe2\x94\x80\xfe", "\xd0\x9f\xd1\x80\xd0\xb8 \xe2\x94\x80M-~"},
        {"C1 controls as characters",
         "\xc2\x9b"
         "1\xc2\x85",
         "M-BM^[1M-BM^E"},
        {"a lone C1 byte",
         "\x9b"
         "1",
         "M^[1"},
        {"lone continuation bytes", "\x80\xbf", "M^@M-?"},
        {"overlong forms of / and NUL", "\xc0\xaf\xe0\x80\xaf\xc0\x80", "M-@M-/M-`M^@M-/M-@M^@"},
        {"a surrogate", "\xed\xa0\x80", "M-m\\240M^@"},
        {"beyond U+10FFFF", "\xf4\x90\x80\x80", "M-tM^PM^@M^@"},
        {"a sequence cut by the end", "\xc3\xa9\xe2\x94", "\xc3\xa9M-bM^T"},
        {"a sequence cut by an ASCII byte", "\xe2\x94x\xe2\x94\x80", "M-bM^Tx\xe2\x94\x80"},
        {"controls and backslashes", "a\tb\\\n\x1b", "a\\011b\\\\012^["},
        {"a hostile user name", "\x1b]0;pwned\x07\x1b[31mevil", "^[]0;pwned^G^[[31mevil"},
        {"a NUL byte inside", std::string("a\0b", 3), "a\\000b"},
    };
    for (const Case& c : cases) {
        const std::string encoded = visEncode(c.text);
        EXPECT_EQ(encoded, c.encoded) << c.kind;
        EXPECT_EQ(firstFault(encoded, true), "") << c.kind;
    }
}

// The bytes of `code` in the character-type locale in force, or "" where the
// locale has no such character.
std::string localeBytes(char32_t code) {
    char bytes[MB_LEN_MAX];
    std::mbstate_t state{};
    const std::size_t length = std::wcrtomb(bytes, static_cast<wchar_t>(code), &state);
    if (length == static_cast<std::size_t>(-1)) return "";
    return {bytes, length};
}

// Characters that the C library may call printable but that show nothing, or
// reorder the rest of the line on a terminal that implements bidirectional
// text: every default-ignorable code point, at the ends of each range, and
// the interlinear annotation characters. In every multibyte locale that has
// them, each of their bytes is encoded as in the POSIX locale; the
// characters just beside them stay as they are.
class InvisibleCharacterTest : public testing::TestWithParam<const char*> {};

TEST_P(InvisibleCharacterTest, EncodesInvisibleCharactersAndKeepsTheirNeighbours) {
    const char32_t invisible[] = {
        0x00ad,                                      // soft hyphen
        0x034f,                                      // combining grapheme joiner
        0x061c,  0x200e,  0x200f,                    // bidirectional marks
        0x115f,  0x1160,  0x3164,  0xffa0,           // Hangul fillers
        0x17b4,  0x17b5,                             // Khmer inherent vowels
        0x180b,  0x180e,  0x180f,                    // Mongolian selectors and separator
        0x200b,  0x200d,  0x2060,  0x2064,  0xfeff,  // zero width
        0x202a,  0x202e,  0x2066,  0x2069,           // embeddings, overrides, isolates
        0x206a,  0x206f,                             // deprecated format characters
        0xfe00,  0xfe0f,  0xe0100, 0xe01ef,          // variation selectors
        0xfff9,  0xfffb,                             // interlinear annotation
        0x1bca0, 0x1bca3,                            // shorthand format controls
        0x1d173, 0x1d17a,                            // musical beams and phrases
        0xe0001, 0xe0020, 0xe007f,                   // tags
    };
    const char32_t shown[] = {0x00ac, 0x034e, 0x061b,  0x115e,  0x1161, 0x17b3, 0x17b6,
                              0x180a, 0x1810, 0x2010,  0x2070,  0x3165, 0xfe10, 0xff9f,
                              0xffa1, 0xfffc, 0x1bc9f, 0x1d172, 0x1d17b};
    CtypeLocale scope(GetParam());
    if (!scope.active) GTEST_SKIP() << "the locale " << GetParam() << " is not installed";
    std::size_t checked = 0;
    for (const char32_t code : invisible) {
        const std::string character = localeBytes(code);
        if (character.empty()) continue;
        std::string posix;
        {
            CtypeLocale c("C");
            posix = visEncode(character);
        }
        EXPECT_EQ(visEncode("a" + character + "b"), "a" + posix + "b") << "U+" << hex(code);
        ++checked;
    }
    for (const char32_t code : shown) {
        const std::string character = localeBytes(code);
        if (character.empty()) continue;
        EXPECT_EQ(visEncode("a" + character + "b"), "a" + character + "b") << "U+" << hex(code);
    }
    EXPECT_GT(checked, 0u) << "the locale has none of the characters";
}

// GB18030 has every Unicode character, EUC-KR some of them; UTF-8 all.
INSTANTIATE_TEST_SUITE_P(Locales, InvisibleCharacterTest,
                         testing::Values("C.UTF-8", "zh_CN.GB18030", "ko_KR.EUC-KR"), localeName);

// In a locale of one byte per character, bytes 0x80 to 0x9F are letters or
// signs of the locale, which a terminal in an 8-bit mode takes for the C1
// controls (0x9B for CSI): they are encoded as in the POSIX locale, and the
// locale's other printable characters stay as they are.
class SingleByteLocaleTest : public testing::TestWithParam<const char*> {};

TEST_P(SingleByteLocaleTest, EncodesTheEightBitControlsAndKeepsTheLetters) {
    struct Case {
        std::string text;
        std::string encoded;
    };
    // 0xC1 to 0xC6 are Cyrillic letters in both KOI8-R and CP1251.
    const std::string letters = "\xc1\xc2\xc3\xc4\xc5\xc6";
    const Case cases[] = {
        {"miner\x9b"
         "2K\x9b"
         "1A",
         "minerM^[2KM^[1A"},
        {"\x80\x8a\x85", "M^@M^JM^E"},
        {letters + "\x9f" + letters, letters + "M^_" + letters},
        {"\x1b[2J\xc1", "^[[2J\xc1"},
    };
    CtypeLocale scope(GetParam());
    if (!scope.active) GTEST_SKIP() << "the locale " << GetParam() << " is not installed";
    for (const Case& c : cases)
        EXPECT_EQ(visEncode(c.text), c.encoded) << testing::PrintToString(c.text);
    for (int byte = 0x80; byte <= 0x9f; ++byte) {
        const std::string text(1, static_cast<char>(byte));
        CtypeLocale posix("C");
        const std::string expected = visEncode(text);
        CtypeLocale back(GetParam());
        EXPECT_EQ(visEncode(text), expected) << "byte " << hex(static_cast<unsigned>(byte));
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, SingleByteLocaleTest,
                         testing::Values("ru_RU.KOI8-R", "ru_RU.CP1251"), localeName);

// Control bytes, escape sequences, C1 controls raw and encoded, invalid and
// cut sequences, every byte and every pair of a lead and a continuation
// byte; each also after valid multibyte characters, the case that makes
// strvis itself write raw bytes in a UTF-8 locale.
std::vector<std::string> hostileTexts() {
    std::vector<std::string> texts = {
        "tab\there",
        "new\nline",
        "\x1b[2J\x1b]0;title\x07",
        "\x1b"
        "c",
        "csi\x9b"
        "31m",
        "utf8 csi \xc2\x9b"
        "31m",
        "\xc2\x85next line",
        "\xc2\xa0nbsp",
        "invalid \xff\xfe\xc3",
        "\xe2\x94",
        "back\\slash \\n \\\\",
        "del\x7f",
        "\r\b\f\v",
        "\xed\xbf\xbf\xf8\x88\x80\x80\x80\xfc\x84\x80\x80\x80\x80",
    };
    for (int byte = 1; byte < 256; ++byte)
        texts.push_back(std::string(1, static_cast<char>(byte)) + "x");
    for (int lead = 0xc0; lead < 0x100; ++lead)
        for (int next = 0x80; next < 0xc0; ++next)
            texts.push_back({static_cast<char>(lead), static_cast<char>(next), 'x'});
    const std::size_t count = texts.size();
    for (std::size_t i = 0; i < count; ++i)
        texts.push_back("\xe1\xad\x9b\xd0\x96\xe2\x94\x80" + texts[i] + "\xc3\xa9");
    return texts;
}

TEST(VisEncodeTest, NothingRawOrInvalidComesOutInEitherLocale) {
    const std::vector<std::string> texts = hostileTexts();
    for (const char* locale : {"C", "C.UTF-8"}) {
        CtypeLocale scope(locale);
        ASSERT_TRUE(scope.active) << locale;
        const bool utf8 = std::string(locale) != "C";
        for (const std::string& text : texts) {
            const std::string encoded = visEncode(text);
            EXPECT_EQ(firstFault(encoded, utf8), "")
                << locale << ": " << testing::PrintToString(text) << " gave "
                << testing::PrintToString(encoded);
            EXPECT_LE(encoded.size(), 4 * text.size());
        }
    }
}

// Every code point from U+0001 to U+13FFFF, surrogates and values beyond
// Unicode among them, in the UTF-8 scheme and followed by an invalid byte:
// the character is either shown as it is or encoded to ASCII, byte by byte,
// and nothing raw comes out.
TEST(VisEncodeTest, EveryCodePointIsShownWholeOrEncodedToAscii) {
    CtypeLocale scope("C.UTF-8");
    ASSERT_TRUE(scope.active);
    std::size_t kept = 0;
    for (char32_t code = 1; code < 0x140000; ++code) {
        const std::string character = utf8Bytes(code);
        const std::string encoded = visEncode(character + "\xff");
        const bool shown = encoded == character + "M^?";
        const bool valid = code <= 0x10ffff && (code < 0xd800 || code > 0xdfff);
        kept += shown && code >= 0x80;
        if (shown && (code < 0x20 || code == 0x7f || (code >= 0x80 && code <= 0x9f) || !valid))
            ADD_FAILURE() << "U+" << hex(code) << " shown as it is";
        if (!shown && firstFault(encoded, false) != "")
            ADD_FAILURE() << "U+" << hex(code) << ": " << firstFault(encoded, false);
    }
    // Most of the assigned characters are printable: the check above did
    // not pass by encoding everything.
    EXPECT_GT(kept, 100000u);
}

// Two pages of memory of which the second cannot be read, so that a text
// copied to the end of the first ends where reading must stop.
class GuardedPage {
  public:
    GuardedPage() : size(static_cast<std::size_t>(sysconf(_SC_PAGESIZE))) {
        void* mapped =
            mmap(nullptr, 2 * size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) return;
        pages = static_cast<char*>(mapped);
        if (mprotect(pages + size, size, PROT_NONE) != 0) {
            munmap(pages, 2 * size);
            pages = nullptr;
        }
    }
    ~GuardedPage() {
        if (pages != nullptr) munmap(pages, 2 * size);
    }
    GuardedPage(const GuardedPage&) = delete;
    GuardedPage& operator=(const GuardedPage&) = delete;

    bool usable() const { return pages != nullptr; }
    // `text` copied so that its last byte is the last readable one.
    std::string_view atTheEnd(const std::string& text) {
        char* start = pages + size - text.size();
        std::memcpy(start, text.data(), text.size());
        return {start, text.size()};
    }

  private:
    std::size_t size;
    char* pages = nullptr;
};

// A text need not be followed by a NUL: a view into a larger buffer ends
// where it ends, and nothing past it is read, also when the last piece to
// encode is a single byte.
TEST(VisEncodeTest, NothingPastTheEndOfTheTextIsRead) {
    GuardedPage guarded;
    ASSERT_TRUE(guarded.usable());
    const std::vector<std::string> texts = {"\x01",         "\xff",         "A\x01",    "ab\x9b",
                                            "\xc3\xa9\x01", "\xc3\xa9\xff", "\xe2\x80", "x\n"};
    for (const char* locale : {"C", "C.UTF-8"}) {
        CtypeLocale scope(locale);
        ASSERT_TRUE(scope.active) << locale;
        for (const std::string& text : texts) {
            const std::string expected = visEncode(text);
            EXPECT_EQ(visEncode(guarded.atTheEnd(text)), expected) << locale;
            EXPECT_EQ(visEncodePosix(guarded.atTheEnd(text)), visEncodePosix(text)) << locale;
        }
    }
}

}  // namespace
