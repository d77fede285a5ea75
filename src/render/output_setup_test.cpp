#include "render/output_setup.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <string>

namespace {

// A stream on a fresh pseudo-terminal, or on a pipe, and the other end.
class OutputStream {
  public:
    static OutputStream terminal() {
        OutputStream made;
        made.far = posix_openpt(O_RDWR | O_NOCTTY);
        if (made.far < 0 || grantpt(made.far) != 0 || unlockpt(made.far) != 0) return made;
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
        EXPECT_NE(style.columns, 0u);
    }
    {
        OutputStream pipe = OutputStream::pipe();
        ASSERT_NE(pipe.stream, nullptr);
        const OutputStyle style = setUpOutput(options, pipe.stream);
        EXPECT_EQ(style.drawing.set.horizontal, asciiSet.horizontal);
        EXPECT_EQ(style.columns, 0u);
    }
    std::setlocale(LC_CTYPE, locale.c_str());
}

}  // namespace
