// Text that attacks the terminal through a UTF-8 locale: valid multibyte
// characters whose code points end in control bytes, beside invalid bytes,
// in arguments and titles; and a process whose title is empty. Every
// output is compared byte for byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/program/process_tree.h"
#include "support/program/pty.h"
#include "support/program/run_program.h"
#include "support/program/scratch_directory.h"

namespace {

// U+1B5B and U+0A2A end in the bytes ESC [ and newline *: a decoder that
// gives up at the invalid last byte and writes each character's low byte
// would draw red text and a forged line.
const std::string hostile =
    "A\xe1\xad\x9b"
    "31mRED\xe1\xad\x9b"
    "0m\xe0\xa8\xaa"
    "FAKE\xff";
// The printable characters stay, the invalid byte is encoded.
const std::string hostileEncoded =
    "A\xe1\xad\x9b"
    "31mRED\xe1\xad\x9b"
    "0m\xe0\xa8\xaa"
    "FAKEM^?";

ProgramOptions utf8Locale() {
    return {.environment = {"LC_ALL=C.UTF-8"}, .replaceEnvironment = true};
}

// Arguments and titles are encoded after the locale is switched to the
// environment's; with -u the name and parent come from status instead of
// stat, which must change nothing.
TEST(Utf8HostileTextTest, ArgumentsAndTitlesKeepCharactersAndEncodeInvalidBytes) {
    ProcessTree tree(ProcessPlan{.name = "mixed", .argv = {hostile, hostile}});
    const std::string pid = "--pid=" + std::to_string(tree.topPid());
    struct Case {
        std::vector<std::string> options;
        std::string out;
    };
    const Case cases[] = {
        {{"-aU"}, "mixed " + hostileEncoded + "\n"},
        {{"-tU"}, hostileEncoded + "\n"},
        {{"-atU"}, hostileEncoded + " " + hostileEncoded + "\n"},
    };
    for (const Case& c : cases) {
        for (const char* source : {"", "-u"}) {
            std::vector<std::string> options = c.options;
            if (*source != '\0') options.push_back(source);
            options.push_back(pid);
            SCOPED_TRACE(testing::PrintToString(options));
            ProgramResult result = runVindle(options, utf8Locale());
            ASSERT_EQ(result.status, 0) << result.err;
            EXPECT_EQ(result.out, c.out);
            EXPECT_EQ(result.err, "");
        }
    }
    // On a terminal the default options switch the locale as well.
    ProgramResult terminal =
        runOnTerminal(vindlePath(), {"-at", pid}, {24, 200}, {"TERM=xterm", "LC_ALL=C.UTF-8"});
    ASSERT_EQ(terminal.status, 0) << terminal.err;
    EXPECT_EQ(terminal.out, hostileEncoded + " " + hostileEncoded + "\n");
}

TEST(EmptyTitleTest, AProcessWithAnEmptyTitleShowsItsCommandName) {
    ProcessPlan top{.name = "parent",
                    .children = {{.name = "blank", .argv = {"", "x"}},
                                 {.name = "bare", .argv = {""}},
                                 {.name = "titled", .argv = {"title: busy", ""}}}};
    ProcessTree tree(top);
    const std::string pid = "--pid=" + std::to_string(tree.topPid());
    ProgramResult titles = runVindle({"-t", pid});
    ASSERT_EQ(titles.status, 0) << titles.err;
    EXPECT_EQ(titles.out,
              "parent-+-bare\n"
              "       |-blank\n"
              "       `-title: busy\n");
    ProgramResult arguments = runVindle({"-ta", pid});
    ASSERT_EQ(arguments.status, 0) << arguments.err;
    EXPECT_EQ(arguments.out,
              "parent\n"
              "  |-bare\n"
              "  |-blank x\n"
              "  `-title: busy\n");
}

}  // namespace
