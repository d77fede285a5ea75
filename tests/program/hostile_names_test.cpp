// Processes that name themselves to attack the terminal that prints them:
// command names, titles and arguments made of control bytes, C1 controls
// raw and UTF-8 encoded, escape sequences, invalid UTF-8 and backslashes,
// and one argument vector of more than 1 MiB. Whatever the locale and
// wherever the output goes, no control byte may reach it except line ends
// and vindle's own bold and character-set escapes, and no line on a terminal
// may pass its width.
// ctest: slow one-process cost=30
#include <gtest/gtest.h>
#include <locale.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/escapes.h"
#include "support/program/columns.h"
#include "support/program/process_tree.h"
#include "support/program/pty.h"
#include "support/program/run_program.h"
#include "support/system/pid_namespace.h"

namespace {

std::string bytesFrom(int first, int last) {
    std::string text;
    for (int byte = first; byte <= last; ++byte) text += static_cast<char>(byte);
    return text;
}

// The C1 controls U+0080 to U+009F, UTF-8 encoded (C2 80 to C2 9F).
std::string encodedC1(int first, int last) {
    std::string text;
    for (int code = first; code <= last; ++code) {
        text += '\xc2';
        text += static_cast<char>(code);
    }
    return text;
}

// Command names: at most 15 bytes each, so the ranges are spread.
std::vector<std::string> hostileNames() {
    return {
        bytesFrom(0x01, 0x0f),
        bytesFrom(0x10, 0x1e),
        bytesFrom(0x1f, 0x1f) + "\x7f" + "x\x7f",
        bytesFrom(0x80, 0x8e),
        bytesFrom(0x8f, 0x9d),
        bytesFrom(0x9e, 0x9f) +
            "\x9b"
            "2J",  // an 8-bit CSI
        encodedC1(0x80, 0x86),
        encodedC1(0x87, 0x8d),
        encodedC1(0x8e, 0x94),
        encodedC1(0x95, 0x9b),
        encodedC1(0x9c, 0x9f),
        "\x1b[2J",
        "\x1b]0;title\x07",
        "\x1b[31mred\x1b[0m",
        "\xff\xfe\xc3\x28\xe2\x28\xa1",  // invalid UTF-8
        "\xc0\xaf\xed\xa0\x80\xf4\x90",  // overlong, surrogate, beyond U+10FFFF
        "a\\b\\\\c\\n\\",                // backslashes, and one before n
        "new\nline\ttab",
        "p) S 1 2 (q\n)",  // parentheses, blanks and digits: a name that mimics fields
    };
}

// Every hostile piece in one text, for titles and arguments.
std::string everything() {
    std::string text =
        bytesFrom(0x01, 0x1f) + "\x7f" + bytesFrom(0x80, 0x9f) + encodedC1(0x80, 0x9f);
    for (const std::string& name : hostileNames()) text += name;
    return text;
}

ProcessPlan hostileTree() {
    ProcessPlan top{.name = "hostile"};
    const std::vector<std::string> names = hostileNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        ProcessPlan child{.name = name};
        child.argv = {name + " title " + std::to_string(i), name, "\\" + name + "\\", everything()};
        top.children.push_back(child);
    }
    // Wide characters, shown in two columns each.
    const std::string wide =
        "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe3\x82\xbf\xe3\x82\xa4\xe3\x83\x88\xe3"
        "\x83\xab";
    top.children.push_back({.name = "wide", .argv = {wide + wide + wide, wide, "x" + wide}});
    // Titles of characters that take no column: 45 letters with a combining
    // accent (45 columns in 135 bytes), and a zero-width space alone.
    std::string accented;
    for (int i = 0; i < 45; ++i) accented += "e\xcc\x81";
    top.children.push_back({.name = "combining", .argv = {accented, "x"}});
    top.children.push_back({.name = "zero-width", .argv = {"\xe2\x80\x8b", "x"}});
    // More than 1 MiB of arguments: nine of 120 KiB, each hostile bytes
    // over and over.
    ProcessPlan big{.name = "big", .label = "big"};
    big.argv = {"big"};
    std::string pattern = everything();
    std::string argument;
    while (argument.size() < 120 * 1024) argument += pattern;
    argument.resize(120 * 1024);
    for (int i = 0; i < 9; ++i) big.argv.push_back(argument);
    top.children.push_back(big);
    return top;
}

struct Verdict {
    std::string fault;  // empty when the output is clean
};

// Checks one run's output: after vindle's own escapes are removed, no byte
// below 0x20 but the newline, no 0x7f; in the C locale nothing but ASCII,
// in C.UTF-8 no C1 code point; on a terminal no line that fills more than
// `columns` columns, measured as the locale measures them.
Verdict inspect(const std::string& output, bool utf8, std::size_t columns) {
    const std::string text = withoutOwnEscapes(output);
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char byte = static_cast<unsigned char>(text[at]);
        if (byte == '\n') {
            ++at;
            continue;
        }
        if (byte < 0x20 || byte == 0x7f)
            return {"control byte " + std::to_string(byte) + " at " + std::to_string(at)};
        if (!utf8 && byte >= 0x80)
            return {"non-ASCII byte " + std::to_string(byte) + " at " + std::to_string(at)};
        const char32_t code = utf8 ? decodeUtf8At(text, at) : text[at++];
        if (code >= 0x80 && code <= 0x9f) return {"C1 control at " + std::to_string(at)};
    }
    if (columns == 0) return {};
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos;
         start = end + 1, end = text.find('\n', start)) {
        const std::string line = text.substr(start, end - start);
        if (columnsOf(line, utf8 ? "C.UTF-8" : "C") > columns)
            return {"line wider than " + std::to_string(columns) + ": " + line};
    }
    return {};
}

std::size_t lineCount(const std::string& text) {
    std::size_t count = 0;
    for (char c : text) count += c == '\n';
    return count;
}

class HostileNamesTest : public testing::Test {
  protected:
    static void SetUpTestSuite() { tree = new ProcessTree(hostileTree()); }
    static void TearDownTestSuite() {
        delete tree;
        tree = nullptr;
    }
    static ProcessTree* tree;
};

ProcessTree* HostileNamesTest::tree = nullptr;

const std::vector<std::vector<std::string>> optionSets{
    {"-a", "-t"}, {"-t"}, {"-a", "-t", "-u", "-p"}, {"-a", "-t", "-U"}, {"-a", "-t", "-G"}};

TEST_F(HostileNamesTest, NothingHostileReachesAPipe) {
    const std::string pid = "--pid=" + std::to_string(tree->topPid());
    for (const char* locale : {"C", "C.UTF-8"}) {
        for (std::vector<std::string> options : optionSets) {
            options.push_back(pid);
            SCOPED_TRACE(std::string(locale) + " " + testing::PrintToString(options));
            ProgramOptions environment;
            environment.environment = {std::string("LC_ALL=") + locale};
            environment.replaceEnvironment = true;
            ProgramResult result = runVindle(options, environment);
            ASSERT_EQ(result.status, 0) << result.err;
            EXPECT_EQ(result.err, "");
            EXPECT_EQ(inspect(result.out, std::string(locale) == "C.UTF-8", 0).fault, "");
            if (options[0] == "-a") {
                // One line per process, the big vector among them, whole.
                EXPECT_EQ(lineCount(result.out), tree->pids().size());
                EXPECT_GT(result.out.size(), 9u * 120 * 1024);
            }
        }
    }
}

TEST_F(HostileNamesTest, EncodedFormsAreShownInsteadOfTheBytes) {
    ProgramResult result = runVindle({"-a", "--pid=" + std::to_string(tree->topPid())});
    ASSERT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("^[[2J"), std::string::npos) << "ESC [ 2 J as ^[[2J";
    EXPECT_NE(result.out.find("^[]0;title^G"), std::string::npos);
    EXPECT_NE(result.out.find("new\\012line\\011tab"), std::string::npos)
        << result.out.substr(0, 3000);
    EXPECT_NE(result.out.find("a\\b\\\\c\\n\\"), std::string::npos)
        << "backslashes are not doubled";
}

TEST_F(HostileNamesTest, NothingHostileReachesATerminalAndNoLinePassesItsWidth) {
    const std::string pid = "--pid=" + std::to_string(tree->topPid());
    for (const char* locale : {"C", "C.UTF-8"}) {
        for (const unsigned short width : std::vector<unsigned short>{20, 57, 132}) {
            for (std::vector<std::string> options : optionSets) {
                options.push_back(pid);
                SCOPED_TRACE(std::string(locale) + " width " + std::to_string(width) + " " +
                             testing::PrintToString(options));
                ProgramResult result =
                    runOnTerminal(vindlePath(), options, {40, width},
                                  {"TERM=xterm", std::string("LC_ALL=") + locale});
                ASSERT_EQ(result.status, 0) << result.err;
                EXPECT_EQ(result.err, "");
                EXPECT_EQ(inspect(result.out, std::string(locale) == "C.UTF-8", width).fault, "");
                if (options[0] == "-a") {
                    EXPECT_EQ(lineCount(result.out), tree->pids().size());
                }
            }
        }
    }
}

// A whole table with the hostile tree in it, in the two modes that show
// every tree: the table is the test's own, that tree alone in a pid
// namespace with its /proc, so that what the runs read and how long they
// take do not depend on the machine.
TEST_F(HostileNamesTest, AWholeTableWithThemIsClean) {
    ChildPidNamespace space;
    if (!space.unavailable().empty()) GTEST_SKIP() << space.unavailable();
    const ProcessTree own(hostileTree());
    for (const char* locale : {"C", "C.UTF-8"}) {
        SCOPED_TRACE(locale);
        const std::vector<std::string> environment{std::string("LC_ALL=") + locale};
        ProgramResult piped =
            runVindle({"-a", "-t", "-U"},
                      {.environment = environment, .replaceEnvironment = true, .privateProc = ""});
        ASSERT_EQ(piped.status, 0) << piped.err;
        EXPECT_EQ(inspect(piped.out, std::string(locale) == "C.UTF-8", 0).fault, "");
        EXPECT_EQ(lineCount(piped.out), own.pids().size() + 1);  // every process, and vindle
        ProgramResult terminal =
            runVindle({"-t", "-u"}, {.environment = {"TERM=xterm", environment[0]},
                                     .replaceEnvironment = true,
                                     .output = StandardOutput::terminal,
                                     .terminalSize = {40, 80},
                                     .privateProc = ""});
        ASSERT_EQ(terminal.status, 0) << terminal.err;
        EXPECT_EQ(inspect(terminal.out, std::string(locale) == "C.UTF-8", 80).fault, "");
    }
}

// Whether `name` can be set as the character-type locale.
bool localeInstalled(const std::string& name) {
    const locale_t locale = newlocale(LC_CTYPE_MASK, name.c_str(), locale_t{});
    if (locale == locale_t{}) return false;
    freelocale(locale);
    return true;
}

// Legacy locales on a terminal: in KOI8-R and CP1251 the bytes 0x80 to 0x9F
// are characters of the locale, but a terminal in an 8-bit mode takes them
// for C1 controls, so none may come out, neither from a process nor from the
// drawing; in EUC-JP no line may pass the width by the locale's own widths,
// which give the box characters two columns.
TEST_F(HostileNamesTest, LegacyLocalesOnATerminal) {
    const std::string pid = "--pid=" + std::to_string(tree->topPid());
    for (const std::string locale : {"ru_RU.KOI8-R", "ru_RU.CP1251", "ja_JP.EUC-JP"}) {
        if (!localeInstalled(locale)) {
            std::printf("skipped %s: the locale is not installed\n", locale.c_str());
            continue;
        }
        const bool singleByte = locale != "ja_JP.EUC-JP";
        for (std::vector<std::string> options :
             std::vector<std::vector<std::string>>{{"-t"}, {"-a", "-t"}, {"-a", "-t", "-u"}}) {
            options.push_back(pid);
            SCOPED_TRACE(locale + " " + testing::PrintToString(options));
            ProgramResult result =
                runOnTerminal(vindlePath(), options, {40, 40}, {"TERM=xterm", "LC_ALL=" + locale});
            ASSERT_EQ(result.status, 0) << result.err;
            const std::string text = withoutOwnEscapes(result.out);
            for (std::size_t at = 0; at < text.size(); ++at) {
                const auto byte = static_cast<unsigned char>(text[at]);
                if ((byte < 0x20 && byte != '\n') || byte == 0x7f ||
                    (singleByte && byte >= 0x80 && byte <= 0x9f)) {
                    ADD_FAILURE() << "byte " << static_cast<unsigned>(byte) << " at " << at;
                    break;
                }
            }
            for (std::size_t start = 0, end = text.find('\n'); end != std::string::npos;
                 start = end + 1, end = text.find('\n', start))
                EXPECT_LE(columnsOf(text.substr(start, end - start), locale), 40u)
                    << text.substr(start, end - start);
        }
    }
}

// A run that needs no user id reads each process from stat, where the name is
// raw; -u reads status, where the kernel escapes newlines and backslashes.
// The tree runs as one user, so -u decorates nothing: both sources must give
// the same output, byte for byte.
TEST_F(HostileNamesTest, BothSourcesOfANameGiveTheSameOutput) {
    const std::string pid = "--pid=" + std::to_string(tree->topPid());
    for (const char* locale : {"C", "C.UTF-8"}) {
        for (std::vector<std::string> options :
             std::vector<std::vector<std::string>>{{}, {"-p"}, {"-a", "-n"}, {"-c", "-A"}}) {
            SCOPED_TRACE(std::string(locale) + " " + testing::PrintToString(options));
            options.push_back(pid);
            ProgramOptions environment;
            environment.environment = {std::string("LC_ALL=") + locale};
            environment.replaceEnvironment = true;
            ProgramResult fromStat = runVindle(options, environment);
            options.push_back("-u");
            ProgramResult fromStatus = runVindle(options, environment);
            ASSERT_EQ(fromStat.status, 0) << fromStat.err;
            ASSERT_EQ(fromStatus.status, 0) << fromStatus.err;
            EXPECT_NE(fromStat.out.find("p) S 1 2 (q\\012)"), std::string::npos) << fromStat.out;
            EXPECT_EQ(fromStat.out, fromStatus.out);
        }
    }
}

}  // namespace
