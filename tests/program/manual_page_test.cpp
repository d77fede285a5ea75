// The manual page against the program: every option that the help text and
// the option table know is documented, the escapes it names are the ones
// vindle writes, mandoc finds nothing to fault, and man renders it without a
// warning from groff in the C locale and in UTF-8. The page under test is
// the one the build installs, which names vis(3) by its section here.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/option_table.h"
#include "cli/version.h"
#include "support/lines.h"
#include "support/program/build_paths.h"
#include "support/program/run_program.h"

namespace {

const std::string sourcePagePath = std::string(VINDLE_SOURCE_DIR) + "/man/vindle.1";
const std::string pagePath = vindlePath().substr(0, vindlePath().rfind('/')) + "/man/vindle.1";

// Runs a program found through PATH, with `extra` added to the environment.
ProgramResult runCommand(const std::vector<std::string>& words,
                         const std::vector<std::string>& extra = {}) {
    std::vector<std::string> arguments = extra;
    arguments.insert(arguments.end(), words.begin(), words.end());
    return runProgram("/usr/bin/env", arguments);
}

bool programExists(const std::string& name) {
    return runCommand({"sh", "-c", "command -v \"$1\" >/dev/null", "sh", name}).status == 0;
}

std::string pageContentsOf(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

// mandoc's plain-text rendering, with the overstrikes of bold and underlined
// text taken out, so that "-\b-a\ba" reads "-a".
std::string renderedPage() {
    ProgramResult result = runCommand({"mandoc", "-Tascii", "-Owidth=100", pagePath});
    EXPECT_EQ(result.status, 0) << result.err;
    std::string plain;
    for (char c : result.out) {
        if (c == '\b') {
            if (!plain.empty()) plain.pop_back();
        } else {
            plain += c;
        }
    }
    return plain;
}

std::string trimmed(const std::string& text) {
    std::size_t begin = text.find_first_not_of(' ');
    std::size_t end = text.find_last_not_of(' ');
    return begin == std::string::npos ? "" : text.substr(begin, end - begin + 1);
}

// Whether `word` stands in `text` on its own: not followed by a letter, a
// digit or a hyphen that would make it part of a longer option name.
bool containsWord(const std::string& text, const std::string& word) {
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        std::size_t after = at + word.size();
        if (after == text.size()) return true;
        unsigned char next = static_cast<unsigned char>(text[after]);
        if (std::isalnum(next) == 0 && next != '-') return true;
    }
    return false;
}

// The text without its optional parts in brackets: "-V[form], --version"
// reads "-V, --version".
std::string withoutOptionalParts(const std::string& text) {
    std::string result;
    int depth = 0;
    for (char c : text) {
        if (c == '[')
            ++depth;
        else if (c == ']' && depth > 0)
            --depth;
        else if (depth == 0)
            result += c;
    }
    return result;
}

// The left columns of the help text ("-a, --arguments", "PID, --pid=PID"):
// every line that starts with two spaces and then text, cut at column 29.
std::vector<std::string> helpLeftColumns() {
    ProgramResult help = runVindle({"-h"});
    EXPECT_EQ(help.status, 0);
    std::vector<std::string> columns;
    for (const std::string& line : linesOf(help.out)) {
        if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ') continue;
        columns.push_back(trimmed(line.substr(2, 27)));
    }
    return columns;
}

// Each help line has an entry in the page's option list that names the same
// forms in the same order; the page may name an optional argument otherwise.
TEST(ManualPageTest, EveryHelpLineHasItsEntryInTheOptionList) {
    const std::vector<std::string> columns = helpLeftColumns();
    ASSERT_FALSE(columns.empty());
    const std::vector<std::string> pageLines = linesOf(renderedPage());
    for (const std::string& column : columns) {
        const std::string forms = withoutOptionalParts(column);
        bool found = false;
        for (const std::string& line : pageLines)
            if (withoutOptionalParts(trimmed(line)).rfind(forms, 0) == 0) found = true;
        EXPECT_TRUE(found) << "no entry of the manual page starts with \"" << column << "\"";
    }
}

TEST(ManualPageTest, EveryOptionOfTheTableIsNamed) {
    const std::string page = renderedPage();
    for (const option* entry = longOptions; entry->name != nullptr; ++entry)
        EXPECT_TRUE(containsWord(page, std::string("--") + entry->name)) << entry->name;
    for (const char* letter = shortOptions; *letter != '\0'; ++letter) {
        if (*letter == ':') continue;
        EXPECT_TRUE(containsWord(page, std::string("-") + *letter)) << *letter;
    }
}

// Whether `word` is an mdoc macro that ends the arguments of the one before
// it (Ns, Ar, Oo, Oc, Fl ...) or a delimiter that mdoc sets apart.
bool endsFlagArguments(const std::string& word) {
    const bool macro = word.size() >= 2 && word.size() <= 3 &&
                       std::isupper(static_cast<unsigned char>(word[0])) != 0 &&
                       std::islower(static_cast<unsigned char>(word[1])) != 0;
    return macro || (word.size() == 1 && std::strchr(",.;:()[]|!?", word[0]) != nullptr);
}

// The options the page's source marks with the Fl macro, as the reader sees
// them: "Fl -pid" is --pid, "Fl a" is -a, and a group such as "Fl AacG"
// names each of its letters.
std::set<std::string> optionsOfThePage() {
    std::set<std::string> options;
    for (const std::string& line : linesOf(pageContentsOf(sourcePagePath))) {
        if (line.empty() || line[0] != '.') continue;
        std::istringstream words(line.substr(1));
        bool inFlag = false;
        for (std::string word; words >> word;) {
            if (word == "Fl") {
                inFlag = true;
            } else if (!inFlag || endsFlagArguments(word)) {
                inFlag = false;
            } else if (word[0] == '-') {
                options.insert("-" + word);
            } else {
                for (char letter : word) options.insert(std::string("-") + letter);
            }
        }
    }
    return options;
}

// The page documents the options of the table and no others.
TEST(ManualPageTest, NamesExactlyTheOptionsOfTheTable) {
    std::set<std::string> table;
    for (const OptionEntry& entry : optionTable) {
        table.insert(std::string("--") + entry.name);
        if (entry.letter != '\0') table.insert(std::string("-") + entry.letter);
    }
    const std::set<std::string> page = optionsOfThePage();
    for (const std::string& option : page)
        EXPECT_TRUE(table.count(option) != 0) << option << " is on the page, not in the table";
    for (const std::string& option : table)
        EXPECT_TRUE(page.count(option) != 0) << option << " is in the table, not on the page";
}

TEST(ManualPageTest, ShowsTheProgramsVersion) {
    ProgramResult version = runVindle({"-Vs"});
    ASSERT_EQ(version.status, 0);
    ASSERT_FALSE(version.out.empty());
    std::string text = version.out.substr(0, version.out.size() - 1);  // without its newline
    EXPECT_NE(renderedPage().find(text), std::string::npos) << text;
}

TEST(ManualPageTest, MandocLintFindsNothing) {
    ProgramResult lint = runCommand({"mandoc", "-Tlint", pagePath});
    // Whether a page named in SEE ALSO is installed depends on the machine,
    // not on this page; every other message counts.
    std::vector<std::string> messages;
    for (const std::string& line : linesOf(lint.out + lint.err))
        if (line.find("referenced manual not found") == std::string::npos &&
            line.find("mandoc.db") == std::string::npos)
            messages.push_back(line);
    EXPECT_TRUE(messages.empty()) << lint.out << lint.err;
    EXPECT_LE(lint.status, 1) << lint.out << lint.err;  // 1: style messages only
}

// man renders the page with groff as a reader sees it: no warning (a
// character that the locale's output cannot show is one: groff would leave
// it out), and in the C locale nothing but ASCII.
TEST(ManualPageTest, ManRendersWithoutWarningsInCAndUtf8) {
    if (!programExists("man")) GTEST_SKIP() << "man is not installed (Debian package man-db)";
    for (const char* locale : {"C", "C.UTF-8"}) {
        ProgramResult man =
            runCommand({"man", "--warnings", "-l", pagePath},
                       {std::string("LC_ALL=") + locale, "MANWIDTH=80", "MAN_KEEP_FORMATTING="});
        EXPECT_EQ(man.status, 0) << locale << ": " << man.err;
        EXPECT_EQ(man.err, "") << locale;
        EXPECT_NE(man.out.find("SEE ALSO"), std::string::npos) << locale << ": " << man.out;
        if (std::string(locale) == "C") {
            for (unsigned char c : man.out)
                EXPECT_LT(c, 0x80) << "not ASCII in the C locale: " << static_cast<int>(c);
        }
    }
    // mandoc, as FreeBSD's man uses it, shows what it cannot render as "<?>".
    EXPECT_EQ(renderedPage().find("<?>"), std::string::npos);
}

// The VT100 escapes named on the page are the bytes that vindle -G writes
// around its drawing characters: ESC ( 0 SI before them, ESC ( B SI after.
TEST(ManualPageTest, NamesTheVt100EscapesThatVindleWrites) {
    const std::string page = renderedPage();
    EXPECT_NE(page.find("ESC ( 0 SI"), std::string::npos);
    EXPECT_NE(page.find("ESC ( B SI"), std::string::npos);
    // This test's only child is vindle: "test---vindle", its drawing in the
    // alternate set.
    ProgramResult tree = runVindle({"-G", "--pid=" + std::to_string(getpid())});
    ASSERT_EQ(tree.status, 0) << tree.err;
    EXPECT_NE(tree.out.find("\x1b(0\x0fqqq\x1b(B\x0f"), std::string::npos) << tree.out;
    for (std::size_t at = tree.out.find("\x1b("); at != std::string::npos;
         at = tree.out.find("\x1b(", at + 1))
        EXPECT_EQ(tree.out.compare(at + 3, 1, "\x0f"), 0) << "an escape without SI at " << at;
}

// The installed page names strvis's page by the section it has on this
// system, vis(3bsd) from libbsd (FreeBSD's libc has it as vis(3), as
// man/vindle.1 says), and carries the program's version where man/vindle.1
// has its placeholder; those are the only differences from man/vindle.1.
TEST(ManualPageTest, SeeAlsoNamesTheVisPageOfThisSystem) {
    std::string expected = pageContentsOf(sourcePagePath);
    const std::string placeholder = "@PROJECT_VERSION@";
    const std::size_t version = expected.find(placeholder);
    ASSERT_NE(version, std::string::npos);
    expected.replace(version, placeholder.size(), vindleVersion);
    ASSERT_EQ(expected.find(placeholder), std::string::npos);
    ASSERT_NE(expected.find("\n.Xr vis 3 ,\n"), std::string::npos);
    const std::string section = "3bsd";  // the tests are built on Linux only
    for (std::size_t at = expected.find("\n.Xr vis 3"); at != std::string::npos;
         at = expected.find("\n.Xr vis 3", at + 1))
        expected.replace(at, std::strlen("\n.Xr vis 3"), "\n.Xr vis " + section);
    EXPECT_EQ(pageContentsOf(pagePath), expected);
    EXPECT_NE(renderedPage().find("vis(" + section + ")"), std::string::npos);

    // The page itself, where this system has its manual pages installed.
    if (programExists("man")) {
        ProgramResult where = runCommand({"man", "-w", section, "vis"});
        if (where.status == 0) {
            EXPECT_NE(where.out.find("vis." + section), std::string::npos);
        }
    }
}

}  // namespace
