#include "render/drawing_set.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>

namespace {

// Sets the locale variables of the environment for one test; restores them
// and the process's "C" character-type locale afterwards.
class LocaleEnvironment {
  public:
    LocaleEnvironment(const char* lcAll, const char* lang) {
        for (const char* name : variables) {
            const char* value = std::getenv(name);
            saved[index(name)] =
                value != nullptr ? std::optional<std::string>(value) : std::nullopt;
            unsetenv(name);
        }
        if (lcAll != nullptr) setenv("LC_ALL", lcAll, 1);
        if (lang != nullptr) setenv("LANG", lang, 1);
        std::setlocale(LC_CTYPE, "C");
    }
    ~LocaleEnvironment() {
        for (const char* name : variables) {
            const auto& value = saved[index(name)];
            if (value)
                setenv(name, value->c_str(), 1);
            else
                unsetenv(name);
        }
        std::setlocale(LC_CTYPE, "C");
    }
    LocaleEnvironment(const LocaleEnvironment&) = delete;
    LocaleEnvironment& operator=(const LocaleEnvironment&) = delete;

  private:
    static constexpr const char* variables[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    static std::size_t index(const char* name) {
        for (std::size_t i = 0; i < 3; ++i)
            if (std::string(variables[i]) == name) return i;
        return 0;
    }
    std::optional<std::string> saved[3];
};

std::string currentCharacterLocale() { return std::setlocale(LC_CTYPE, nullptr); }

enum class Set { Ascii, Vt100, Unicode };

Set which(const DrawingSet& set) {
    if (set.horizontal == asciiSet.horizontal) return Set::Ascii;
    if (set.horizontal == vt100Set.horizontal) return Set::Vt100;
    return Set::Unicode;
}

struct ChoiceCase {
    const char* name;
    DrawingRequest request;
    bool isTerminal;
    const char* lcAll;  // null: unset
    Set set;
    std::string localeAfter;  // the character-type locale after the choice
    const char* lang = nullptr;
};

void PrintTo(const ChoiceCase& c, std::ostream* out) { *out << c.name; }

constexpr DrawingRequest automatic = DrawingRequest::Automatic;
constexpr DrawingRequest ascii = DrawingRequest::Ascii;
constexpr DrawingRequest vt100 = DrawingRequest::Vt100;
constexpr DrawingRequest unicode = DrawingRequest::Unicode;

constexpr const char* utf8 = "C.UTF-8";
constexpr const char* missing = "xx_XX.NO-SUCH-CHARSET";
constexpr const char* koi8 = "ru_RU.KOI8-R";
constexpr const char* cp1251 = "ru_RU.CP1251";
constexpr const char* eucJp = "ja_JP.EUC-JP";

// Whether `name` can be set: the legacy locales are compiled by the install
// step and may be missing elsewhere.
bool installed(const char* name) {
    const std::string previous = std::setlocale(LC_CTYPE, nullptr);
    const bool found = std::setlocale(LC_CTYPE, name) != nullptr;
    std::setlocale(LC_CTYPE, previous.c_str());
    return found;
}

// clang-format off
const ChoiceCase choiceCases[] = {
    // A pipe: ASCII unless a set is asked for; the locale is left alone.
    {"PipeNoOption", automatic, false, utf8, Set::Ascii, "C"},
    {"PipeAscii", ascii, false, utf8, Set::Ascii, "C"},
    {"PipeVt100", vt100, false, utf8, Set::Vt100, "C"},
    {"PipeUnicodeInUtf8", unicode, false, utf8, Set::Unicode, "C.UTF-8"},
    {"PipeUnicodeInPosix", unicode, false, "C", Set::Vt100, "C"},
    {"PipeUnicodeInMissingLocale", unicode, false, missing, Set::Vt100, "C"},
    // A terminal: the probe decides unless a set is asked for.
    {"TerminalNoOptionInUtf8", automatic, true, utf8, Set::Unicode, "C.UTF-8"},
    {"TerminalNoOptionInPosix", automatic, true, "C", Set::Vt100, "C"},
    {"TerminalNoOptionInMissingLocale", automatic, true, missing, Set::Vt100, "C"},
    {"TerminalNoOptionFromLang", automatic, true, nullptr, Set::Unicode, "C.UTF-8", utf8},
    {"TerminalNoLocaleVariables", automatic, true, nullptr, Set::Vt100, "C"},
    {"TerminalAscii", ascii, true, utf8, Set::Ascii, "C"},
    {"TerminalVt100", vt100, true, utf8, Set::Vt100, "C"},
    {"TerminalUnicodeInPosix", unicode, true, "C", Set::Vt100, "C"},
    {"TerminalUnicodeInUtf8", unicode, true, utf8, Set::Unicode, "C.UTF-8"},
    // Legacy locales: KOI8-R encodes the box characters as bytes 0x80 to
    // 0x8A, CP1251 has none, EUC-JP gives them two columns each. Chosen
    // automatically they give way to the VT100 set; asked for, they stand
    // wherever the locale can encode them.
    {"TerminalNoOptionInKoi8", automatic, true, koi8, Set::Vt100, koi8},
    {"TerminalUnicodeInKoi8", unicode, true, koi8, Set::Unicode, koi8},
    {"PipeUnicodeInKoi8", unicode, false, koi8, Set::Unicode, koi8},
    {"TerminalNoOptionInCp1251", automatic, true, cp1251, Set::Vt100, cp1251},
    {"TerminalUnicodeInCp1251", unicode, true, cp1251, Set::Vt100, cp1251},
    {"TerminalNoOptionInEucJp", automatic, true, eucJp, Set::Vt100, eucJp},
    {"TerminalUnicodeInEucJp", unicode, true, eucJp, Set::Unicode, eucJp},
};
// clang-format on

class DrawingChoiceTable : public testing::TestWithParam<ChoiceCase> {};

TEST_P(DrawingChoiceTable, ChoosesTheSetAndTouchesTheLocaleOnlyInTheProbe) {
    const ChoiceCase& c = GetParam();
    if (c.lcAll != nullptr && c.lcAll != missing && !installed(c.lcAll))
        GTEST_SKIP() << "the locale " << c.lcAll << " is not installed";
    LocaleEnvironment environment(c.lcAll, c.lang);
    const DrawingChoice choice = chooseDrawingSet(c.request, c.isTerminal);
    EXPECT_EQ(which(choice.set), c.set);
    EXPECT_EQ(choice.escapes, c.set == Set::Vt100) << "escapes go with the VT100 set only";
    EXPECT_EQ(currentCharacterLocale(), c.localeAfter);
}

INSTANTIATE_TEST_SUITE_P(Cases, DrawingChoiceTable, testing::ValuesIn(choiceCases),
                         [](const testing::TestParamInfo<ChoiceCase>& test) {
                             return std::string(test.param.name);
                         });

TEST(DrawingSets, HoldTheirCharactersInMemberOrder) {
    struct Expected {
        DrawingSet set;
        wchar_t horizontal, vertical, corner, tee, downTee;
    };
    const Expected sets[] = {
        {asciiSet, 0x2D, 0x7C, 0x60, 0x7C, 0x2B},
        {vt100Set, 0x71, 0x78, 0x6D, 0x74, 0x77},
        {unicodeSet, 0x2500, 0x2502, 0x2514, 0x251C, 0x252C},
    };
    for (const Expected& e : sets) {
        EXPECT_EQ(e.set.horizontal, e.horizontal);
        EXPECT_EQ(e.set.vertical, e.vertical);
        EXPECT_EQ(e.set.corner, e.corner);
        EXPECT_EQ(e.set.tee, e.tee);
        EXPECT_EQ(e.set.downTee, e.downTee);
    }
}

// The probe keeps the environment's locale even when it falls back, so that
// later conversions run in it.
TEST(UnicodeProbe, LeavesTheEnvironmentsLocaleInForce) {
    {
        LocaleEnvironment environment(utf8, nullptr);
        EXPECT_TRUE(switchToEnvironmentLocale());
        EXPECT_EQ(currentCharacterLocale(), "C.UTF-8");
        EXPECT_TRUE(unicodeSetRoundTrips());
    }
    {
        LocaleEnvironment environment("POSIX", nullptr);
        std::setlocale(LC_CTYPE, "C.UTF-8");
        EXPECT_TRUE(switchToEnvironmentLocale());
        EXPECT_EQ(currentCharacterLocale(), "C") << "POSIX is the C locale";
        EXPECT_FALSE(unicodeSetRoundTrips());
    }
    {
        LocaleEnvironment environment(missing, nullptr);
        std::setlocale(LC_CTYPE, "C.UTF-8");
        EXPECT_FALSE(switchToEnvironmentLocale());
        EXPECT_EQ(currentCharacterLocale(), "C.UTF-8") << "a rejected locale changes nothing";
    }
}

}  // namespace
