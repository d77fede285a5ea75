// Fuzzes the line composer: a writer of random width, drawing set, locale,
// margins and options gets random sequences of the calls of its protocol:
// write, writeArgument, enterChild, writeLabel, leaveNode and endLine. Every
// printed line, with the writer's own escape sequences removed, must fit in
// `columns` whenever lines are cut; a line that is never cut must print
// exactly the texts it was given; and only a line that reached the last
// column of a terminal that wraps by itself may end without a newline.
//
// Columns are counted the way the writer counts them: a text by its bytes
// and a drawing character as one. A terminal shows a character of the
// locale in at most as many columns as it has bytes, a wide one in two and a
// combining mark in none, so the check counts each character's display
// columns, one for a character without a width, and a byte that starts no
// character as one.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <optional>
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

std::FILE* openMemory(char** buffer, std::size_t* length) {
    std::FILE* memory = open_memstream(buffer, length);
    require(memory != nullptr);
    return memory;
}

// One writer printing into memory, driven by the fuzzer's bytes.
class Session {
  public:
    Session(FuzzedDataProvider& input, const OutputStyle& style, const OutputOptions& options)
        : data(input),
          columns(style.columns.value_or(0)),
          cuts(style.columns.has_value()),
          autoMarginNoXenl(style.autoMarginNoXenl),
          memory(openMemory(&buffer, &length)),
          writer(style, options, memory) {}
    ~Session() {
        std::fclose(memory);
        std::free(buffer);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void run() {
        for (int step = 0; step < 96 && data.remaining_bytes() > 0; ++step) act();
        finishLine();
    }

  private:
    void act() {
        switch (data.ConsumeIntegralInRange<int>(0, 5)) {
            case 0: {
                std::string text = pieceText(data);
                const std::uint64_t width =
                    text.size() + data.ConsumeIntegralInRange<std::uint64_t>(0, 3);
                const auto mode = static_cast<SegmentMode>(data.ConsumeIntegralInRange<int>(0, 2));
                expected += text;
                writer.write(width, mode, text);
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
                const bool first = data.ConsumeBool();
                writer.enterChild(first, data.ConsumeBool());
                const std::optional<std::uint64_t> group =
                    data.ConsumeBool()
                        ? std::optional(data.ConsumeIntegralInRange<std::uint64_t>(2, 5000))
                        : std::nullopt;
                writer.writeLabel(label, data.ConsumeBool(), group);
                if (group) ++owed;
                ++depth;
                labelled = true;  // drawing and group prefixes: no exact text to expect
                break;
            }
            case 3:
                if (depth != 0) {
                    writer.leaveNode();
                    --depth;
                }
                break;
            case 4: {
                const bool first = data.ConsumeBool();
                writer.enterChild(first, data.ConsumeBool());
                break;
            }
            default:
                finishLine();
                break;
        }
        if (cuts) require(writer.usedColumns() <= columns);
    }

    void finishLine() {
        std::fflush(memory);
        const std::size_t before = length;
        // The columns the line reaches once endLine has paid the "]" owed
        // to its group prefixes, when the line is not cut before.
        std::uint64_t reached = writer.usedColumns();
        if (!writer.isTruncated() && owed != 0)
            reached = cuts ? std::min(reached + owed, columns) : reached + owed;
        writer.endLine();
        std::fflush(memory);
        std::string line = withoutEscapes(std::string(buffer + before, length - before));
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        else
            require(autoMarginNoXenl && reached == columns);
        require(line.find('\n') == std::string::npos);
        if (cuts)
            require(displayColumns(line) <= columns);
        else if (!labelled)
            require(line == expected);
        require(writer.usedColumns() == 0 && !writer.isTruncated());
        expected.clear();
        labelled = false;
        owed = 0;
    }

    FuzzedDataProvider& data;
    const std::uint64_t columns;
    const bool cuts;
    const bool autoMarginNoXenl;
    char* buffer = nullptr;
    std::size_t length = 0;
    std::FILE* memory;
    LineWriter writer;
    std::size_t depth = 0;   // levels pushed by labels and not yet left
    std::uint64_t owed = 0;  // "]" owed to the group prefixes on the line
    std::string expected;    // the line's texts, while no label (nor "]") was written
    bool labelled = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    std::setlocale(LC_CTYPE, data.ConsumeBool() ? "C.UTF-8" : "C");
    const DrawingChoice choices[] = {{asciiSet, false}, {vt100Set, true}, {unicodeSet, false}};
    const DrawingChoice drawing = choices[data.ConsumeIntegralInRange<int>(0, 2)];
    const bool longLines = data.ConsumeIntegralInRange<int>(0, 7) == 0;
    OutputOptions options;
    options.arguments = data.ConsumeBool();
    // A width of 0 draws no limit either, as set up for a run; so do long
    // lines, whatever the width.
    const std::uint64_t width = data.ConsumeBool()
                                    ? data.ConsumeIntegralInRange<std::uint64_t>(0, 12)
                                    : data.ConsumeIntegralInRange<std::uint64_t>(0, 200);
    std::optional<std::uint64_t> columns;
    if (!longLines && width != 0) columns = width;
    const bool autoMarginNoXenl = data.ConsumeBool();
    Session session(data, {drawing, columns, autoMarginNoXenl}, options);
    session.run();
    return 0;
}
