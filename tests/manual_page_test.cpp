// The manual page against the program: every option that the help text and
// the option table know is documented, and mandoc finds nothing to fault.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "cli/options.h"
#include "support/lines.h"
#include "support/run_program.h"

namespace {

const std::string pagePath = std::string(VINDLE_SOURCE_DIR) + "/man/vindle.1";

// Runs a program found through PATH.
ProgramResult runCommand(const std::vector<std::string>& words) {
    return runProgram("/usr/bin/env", words);
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

}  // namespace
