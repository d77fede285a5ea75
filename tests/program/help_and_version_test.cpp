// The help text and the version output of the built program.
#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <fstream>
#include <string>
#include <vector>

#include "cli/version.h"
#include "support/help_text.h"
#include "support/program/build_paths.h"
#include "support/program/run_program.h"

namespace {

std::string describe(const std::vector<std::string>& words) {
    std::string text = "command line:";
    for (const std::string& word : words) text += " [" + word + "]";
    return text;
}

// Help wins over every option after it, errors included; nothing is written
// on standard error.
TEST(HelpOutputTest, HelpIsPrintedByteForByteAndExitsZero) {
    const std::vector<std::string> lines[] = {
        {"-h"},
        {"--help"},
        {"--hel"},
        {"-h", "-V"},
        {"-h", "-x"},
        {"-h", "--pid=x"},
        {"-hV"},
        {"-ah"},
        {"-Uh", "-Vs"},
        {"-h", "--bogus"},
        {"root", "-h"},
        {"-h", "99999999999"},
        {"-H7", "-h"},
        {"--pid=5", "--help"},
        {"--help", "-Hx"},
        {"-h", "--high"},
    };
    for (const std::vector<std::string>& words : lines) {
        SCOPED_TRACE(describe(words));
        const ProgramResult result = runVindle(words);
        EXPECT_EQ(result.out, helpText());
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.status, 0);
    }
}

TEST(HelpOutputTest, UsageLineNamesTheBaseNameOfTheInvokedPath) {
    struct Invocation {
        const char* argv0;
        const char* shownName;
    };
    const Invocation invocations[] = {
        {"/usr/local/bin/vindle", "vindle"},
        {"./vindle", "vindle"},
        {"bin/tree-of-processes", "tree-of-processes"},
        {"vindle", "vindle"},
        {"/opt/tools/", "tools"},
    };
    for (const Invocation& invocation : invocations) {
        SCOPED_TRACE(std::string("argv0 ") + invocation.argv0);
        ProgramOptions options;
        options.argv0 = invocation.argv0;
        const ProgramResult result = runVindle({"--help"}, options);
        EXPECT_EQ(result.out, helpText(invocation.shownName));
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.status, 0);
    }
}

std::string longVersionLine() {
    utsname system;
    if (uname(&system) != 0) ADD_FAILURE() << "uname failed";
    return std::string("vindle ") + vindleVersion + " - " + system.sysname + " " + system.release +
           " " + system.machine + "\n";
}

enum class VersionForm { Short, Long, LongWithLicence };

struct VersionCase {
    std::vector<std::string> words;
    VersionForm form;
};

// Only the exact arguments s/short and l/license choose a form; the first
// -V on the line decides and nothing after it is looked at.
const VersionCase versionCases[] = {
    {{"-Vs"}, VersionForm::Short},
    {{"-Vshort"}, VersionForm::Short},
    {{"--version=s"}, VersionForm::Short},
    {{"--version=short"}, VersionForm::Short},
    {{"--vers=short"}, VersionForm::Short},
    {{"-aVs"}, VersionForm::Short},
    {{"-Vs", "-Vl"}, VersionForm::Short},
    {{"-Vs", "-x"}, VersionForm::Short},
    {{"-V"}, VersionForm::Long},
    {{"--version"}, VersionForm::Long},
    {{"--version="}, VersionForm::Long},
    {{"-Vx"}, VersionForm::Long},
    {{"-Vsh"}, VersionForm::Long},
    {{"-Vlic"}, VersionForm::Long},
    {{"-VS"}, VersionForm::Long},
    {{"-VL"}, VersionForm::Long},
    {{"--version=Short"}, VersionForm::Long},
    {{"--version=licence"}, VersionForm::Long},
    {{"-V", "short"}, VersionForm::Long},
    {{"-V", "l"}, VersionForm::Long},
    {{"--version", "s"}, VersionForm::Long},
    {{"-V", "-h"}, VersionForm::Long},
    {{"-V", "-x"}, VersionForm::Long},
    {{"-V", "--pid=x"}, VersionForm::Long},
    {{"-V", "-Hx"}, VersionForm::Long},
    {{"--pid=5", "-H7", "-V"}, VersionForm::Long},
    {{"99999999999", "-V"}, VersionForm::Long},
    {{"-Vl"}, VersionForm::LongWithLicence},
    {{"-Vlicense"}, VersionForm::LongWithLicence},
    {{"--version=license"}, VersionForm::LongWithLicence},
    {{"--version=l"}, VersionForm::LongWithLicence},
    {{"-Vl", "-Vs"}, VersionForm::LongWithLicence},
};

TEST(VersionOutputTest, EachFormPrintsItsTextAndExitsZero) {
    const std::string longLine = longVersionLine();
    std::string firstLicenceOutput;
    for (const VersionCase& c : versionCases) {
        SCOPED_TRACE(describe(c.words));
        const ProgramResult result = runVindle(c.words);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.status, 0);
        switch (c.form) {
            case VersionForm::Short:
                EXPECT_EQ(result.out, std::string("vindle ") + vindleVersion + "\n");
                break;
            case VersionForm::Long:
                EXPECT_EQ(result.out, longLine);
                break;
            case VersionForm::LongWithLicence:
                EXPECT_EQ(result.out.substr(0, longLine.size()), longLine);
                EXPECT_GT(result.out.size(), longLine.size() + 1);
                // Every licence form prints the same notice.
                if (firstLicenceOutput.empty()) firstLicenceOutput = result.out;
                EXPECT_EQ(result.out, firstLicenceOutput);
                break;
        }
    }
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (auto end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The notice: an empty line first, then paragraphs of lines indented by three
// spaces (exactly one line by more), separated by single empty lines, and a
// single newline at the end.
TEST(VersionOutputTest, LicenceNoticeHasItsForm) {
    const std::string longLine = longVersionLine();
    const ProgramResult result = runVindle({"-Vlicense"});
    ASSERT_EQ(result.status, 0);
    ASSERT_EQ(result.out.substr(0, longLine.size()), longLine);
    const std::string notice = result.out.substr(longLine.size());
    ASSERT_GE(notice.size(), 2u);
    EXPECT_EQ(notice.front(), '\n') << "the notice begins with an empty line";
    EXPECT_EQ(notice.back(), '\n');
    EXPECT_NE(notice[notice.size() - 2], '\n') << "the notice ends with a single newline";

    const std::vector<std::string> lines = splitLines(notice);
    int textLines = 0;
    int paragraphs = 0;
    int indentedMore = 0;
    bool previousEmpty = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        SCOPED_TRACE("notice line " + std::to_string(i) + ": [" + line + "]");
        if (line.empty()) {
            EXPECT_FALSE(previousEmpty) << "paragraphs are separated by one empty line";
            previousEmpty = true;
            continue;
        }
        if (previousEmpty) ++paragraphs;
        previousEmpty = false;
        ++textLines;
        ASSERT_GT(line.size(), 3u);
        EXPECT_EQ(line.substr(0, 3), "   ");
        if (line[3] == ' ') ++indentedMore;
    }
    EXPECT_TRUE(lines.empty() || lines.front().empty());
    EXPECT_FALSE(lines.empty() || lines.back().empty());
    EXPECT_GE(textLines, 3) << "a notice of several lines";
    EXPECT_GE(paragraphs, 2) << "paragraphs separated by empty lines";
    EXPECT_EQ(indentedMore, 1) << "exactly one line is indented by more than three spaces";
}

// The Debian changelog keeps its own line, which must name the version that
// the build gives the program (and the manual page and cpack's package).
TEST(VersionOutputTest, DebianChangelogNamesTheProgramsVersion) {
    std::ifstream changelog(std::string(VINDLE_SOURCE_DIR) + "/debian/changelog");
    std::string first;
    ASSERT_TRUE(std::getline(changelog, first));
    EXPECT_EQ(first.rfind(std::string("vindle (") + vindleVersion + ") ", 0), 0u) << first;
}

}  // namespace
