#include "render/output_setup.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <optional>
#include <string>

namespace {

// A stream on a fresh pseudo-terminal, or on a pipe, and the other end.
class OutputStream {
  public:
    static OutputStream terminal(unsigned short windowColumns = 0) {
        OutputStream made;
        made.far = posix_openpt(O_RDWR | O_NOCTTY);
        if (made.far < 0 || grantpt(made.far) != 0 || unlockpt(made.far) != 0) return made;
        const winsize size{.ws_row = 24, .ws_col = windowColumns, .ws_xpixel = 0, .ws_ypixel = 0};
        if (ioctl(made.far, TIOCSWINSZ, &size) != 0) return made;
        made.stream = std::fopen(ptsname(made.far), "w");
        return made;
    }
    static OutputStream pipe() {
        OutputStream made;
        int ends[2];
        if (::pipe(ends) != 0) return made;
        made.far = ends[0];
        made.stream = fdopen(ends[1], "w");
        return made;
    }
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;
    OutputStream(OutputStream&& other) noexcept : stream(other.stream), far(other.far) {
        other.stream = nullptr;
        other.far = -1;
    }
    ~OutputStream() {
        if (stream != nullptr) std::fclose(stream);
        if (far >= 0) close(far);
    }

    std::FILE* stream = nullptr;

  private:
    OutputStream() = default;
    int far = -1;
};

// The set-up asks the stream it is given, not standard output (a pipe or a
// file under the test runner): a terminal gets a drawing set chosen for a
// terminal and a width, a pipe ASCII and no limit.
TEST(OutputSetup, ProbesTheStreamItIsGiven) {
    const std::string locale = std::setlocale(LC_CTYPE, nullptr);
    const OutputOptions options;  // drawing chosen by the output, lines cut
    {
        OutputStream terminal = OutputStream::terminal();
        ASSERT_NE(terminal.stream, nullptr);
        const OutputStyle style = setUpOutput(options, terminal.stream);
        EXPECT_NE(style.drawing.set.horizontal, asciiSet.horizontal);
        EXPECT_TRUE(style.columns.has_value());
    }
    {
        OutputStream pipe = OutputStream::pipe();
        ASSERT_NE(pipe.stream, nullptr);
        const OutputStyle style = setUpOutput(options, pipe.stream);
        EXPECT_EQ(style.drawing.set.horizontal, asciiSet.horizontal);
        EXPECT_EQ(style.columns, std::nullopt);
    }
    std::setlocale(LC_CTYPE, locale.c_str());
}

// Sets an environment variable, or unsets it (nullptr), for the life of the
// object.
class ScopedVariable {
  public:
    ScopedVariable(const char* variable, const char* value) : name(variable) {
        if (const char* old = std::getenv(variable)) saved = old;
        set(value);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;
    ~ScopedVariable() { set(saved ? saved->c_str() : nullptr); }

  private:
    void set(const char* value) {
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    const char* name;
    std::optional<std::string> saved;
};

// Where lines get a width and which: the only form of "no limit" is no
// width. A COLUMNS of 0, or a window of 0 columns, is no width of 0 (that
// would cut every line to nothing) nor a line that is never cut: terminfo
// passes over it to the next source, down to the description's own cols.
struct WidthCase {
    const char* name;
    bool terminal;
    bool longLines;
    const char* term;
    const char* columnsVariable;
    unsigned short window;
    std::optional<std::uint64_t> columns;
};

const WidthCase widthCases[] = {
    {"PipeHasNoLimit", false, false, "xterm", "40", 50, std::nullopt},
    {"LongLinesOnAPipeHaveNoLimit", false, true, "xterm", nullptr, 0, std::nullopt},
    {"LongLinesOnATerminalHaveNoLimit", true, true, "xterm", "40", 50, std::nullopt},
    {"WindowWidth", true, false, "xterm", nullptr, 50, 50},
    {"ColumnsBeforeTheWindow", true, false, "xterm", "40", 50, 40},
    {"ColumnsOfOne", true, false, "xterm", "1", 50, 1},
    {"ColumnsOfZeroGivesTheWindow", true, false, "xterm", "0", 50, 50},
    {"ColumnsAndWindowOfZeroGiveTheDescription", true, false, "xterm", "0", 0, 80},
    {"NoWindowGivesTheDescription", true, false, "xterm", nullptr, 0, 80},
    {"UnknownTerminalFallsBackTo80", true, false, "vindle-unknown-terminal", nullptr, 50, 80},
};

class OutputWidth : public testing::TestWithParam<WidthCase> {};

TEST_P(OutputWidth, IsNoneOrTheTerminalsWidth) {
    const WidthCase& c = GetParam();
    const std::string locale = std::setlocale(LC_CTYPE, nullptr);
    ScopedVariable term("TERM", c.term);
    ScopedVariable columns("COLUMNS", c.columnsVariable);
    ScopedVariable terminfo("TERMINFO", nullptr);
    OutputStream stream = c.terminal ? OutputStream::terminal(c.window) : OutputStream::pipe();
    ASSERT_NE(stream.stream, nullptr);
    const OutputStyle style = setUpOutput({.longLines = c.longLines}, stream.stream);
    EXPECT_EQ(style.columns, c.columns);
    std::setlocale(LC_CTYPE, locale.c_str());
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputWidth, testing::ValuesIn(widthCases),
                         [](const testing::TestParamInfo<WidthCase>& test) {
                             return std::string(test.param.name);
                         });

}  // namespace
