// Fuzzes the line composer: a writer of random width, drawing set, locale
// and margins gets random sequences of write, writeArgument, writeLabel,
// branch pops and endLine. Every printed line, with the writer's own escape
// sequences removed, must fit in `columns` whenever lines are cut; and a
// line that is never cut must print exactly the texts it was given.
//
// Columns are counted the way the writer counts them: a text by its bytes
// and a drawing character as one. A terminal shows a character of the
// locale in at most as many columns as it has bytes, a wide one in two and a
// combining mark in none, so the check counts each character's display
// columns, one for a character without a width, and a byte that starts no
// character as one.
#include <fuzzer/FuzzedDataProvider.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "render/line_writer.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

// Removes the four escape sequences that the writer itself prints.
std::string withoutEscapes(std::string text) {
    for (const char* escape : {"\x1b[1m", "\x1b[22m", "\x1b(0\x0f", "\x1b(B\x0f"}) {
        const std::size_t length = std::strlen(escape);
        for (std::size_t at = text.find(escape); at != std::string::npos;
             at = text.find(escape, at))
            text.erase(at, length);
    }
    return text;
}

std::size_t displayColumns(const std::string& text) {
    std::mbstate_t state{};
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size();) {
        wchar_t character = 0;
        std::size_t length = std::mbrtowc(&character, text.data() + at, text.size() - at, &state);
        if (length == 0 || length > text.size() - at) {
            length = 1;
            state = std::mbstate_t{};
            count += 1;
        } else {
            const int columns = wcwidth(character);
            count += columns < 0 ? 1 : static_cast<std::size_t>(columns);
        }
        at += length;
    }
    return count;
}

// Text for a piece; a newline or an escape byte would make the printed line
// impossible to tell apart, and labels never hold them (they are encoded).
std::string pieceText(FuzzedDataProvider& data) {
    std::string text = data.ConsumeRandomLengthString(48);
    for (char& c : text)
        if (c == '\n' || c == '\x1b' || c == '\0') c = '?';
    return text;
}

class Session {
  public:
    Session(FuzzedDataProvider& input) : data(input) {
        memory = open_memstream(&buffer, &length);
        require(memory != nullptr);
        saved = stdout;
        stdout = memory;
    }
    ~Session() {
        stdout = saved;
        std::fclose(memory);
        std::free(buffer);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void run(LineWriter& writer) {
        for (int step = 0; step < 96 && data.remaining_bytes() > 0; ++step) act(writer);
        finishLine(writer);
    }

  private:
    void act(LineWriter& writer) {
        switch (data.ConsumeIntegralInRange<int>(0, 5)) {
            case 0: {
                std::string text = pieceText(data);
                const std::uint64_t width =
                    text.size() + data.ConsumeIntegralInRange<std::uint64_t>(0, 3);
                const auto mode = static_cast<SegmentMode>(data.ConsumeIntegralInRange<int>(0, 2));
                expected += text;
                writer.write(width, mode, std::move(text));
                break;
            }
            case 1: {
                std::string argument = pieceText(data);
                expected += " " + argument;
                writer.writeArgument(argument, data.ConsumeBool());
                break;
            }
            case 2: {
                std::string label = pieceText(data);
                writer.first = data.ConsumeBool();
                writer.last = data.ConsumeBool();
                const std::uint64_t duplicates =
                    data.ConsumeBool() ? data.ConsumeIntegralInRange<std::uint64_t>(2, 5000) : 0;
                writer.writeLabel(label, data.ConsumeBool(), duplicates);
                labelled = true;  // drawing and group prefixes: no exact text to expect
                break;
            }
            case 3:
                if (!writer.branches.empty()) writer.branches.pop_back();
                break;
            case 4:
                if (!writer.branches.empty()) writer.branches.back().last = data.ConsumeBool();
                break;
            default:
                finishLine(writer);
                break;
        }
        if (cuts(writer)) require(writer.column <= writer.columns);
    }

    bool cuts(const LineWriter& writer) const {
        return writer.columns != 0 && (writer.flags & Flag::longLines) == 0;
    }

    void finishLine(LineWriter& writer) {
        expected += std::string(writer.closers, ']');
        std::fflush(memory);
        const std::size_t before = length;
        writer.endLine();
        std::fflush(memory);
        std::string line = withoutEscapes(std::string(buffer + before, length - before));
        if (!line.empty() && line.back() == '\n') line.pop_back();
        require(line.find('\n') == std::string::npos);
        if (cuts(writer))
            require(displayColumns(line) <= writer.columns);
        else if (!labelled)
            require(line == expected);
        require(writer.column == 0 && !writer.truncated && writer.segments.empty() &&
                writer.closers == 0);
        expected.clear();
        labelled = false;
    }

    FuzzedDataProvider& data;
    FILE* memory = nullptr;
    FILE* saved = nullptr;
    char* buffer = nullptr;
    std::size_t length = 0;
    std::string expected;  // the line's texts, while no label was written
    bool labelled = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    std::setlocale(LC_CTYPE, data.ConsumeBool() ? "C.UTF-8" : "C");
    const DrawingChoice choices[] = {{asciiSet, false}, {vt100Set, true}, {unicodeSet, false}};
    const DrawingChoice drawing = choices[data.ConsumeIntegralInRange<int>(0, 2)];
    const OptionFlags flags = data.ConsumeIntegralInRange<int>(0, 7) == 0 ? Flag::longLines : 0;
    const std::uint64_t columns = data.ConsumeBool()
                                      ? data.ConsumeIntegralInRange<std::uint64_t>(0, 12)
                                      : data.ConsumeIntegralInRange<std::uint64_t>(0, 200);
    const bool autoMarginNoXenl = data.ConsumeBool();
    LineWriter writer(flags, drawing, columns, autoMarginNoXenl);
    Session session(data);
    session.run(writer);
    return 0;
}
