#include "cli/output_options.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct OptionsCase {
    const char* name;
    OptionFlags flags;
    DrawingRequest drawing;
    bool longLines = false;
    bool arguments = false;
};

void PrintTo(const OptionsCase& c, std::ostream* out) { *out << c.name; }

constexpr DrawingRequest automaticDrawing = DrawingRequest::Automatic;

// clang-format off
const OptionsCase optionsCases[] = {
    {"Nothing", 0, automaticDrawing},
    {"Ascii", Flag::ascii, DrawingRequest::Ascii},
    {"Vt100", Flag::vt100, DrawingRequest::Vt100},
    {"Unicode", Flag::unicode, DrawingRequest::Unicode},
    // Several sets: ASCII before Unicode before VT100.
    {"AsciiBeforeUnicode", Flag::ascii | Flag::unicode, DrawingRequest::Ascii},
    {"AsciiBeforeVt100", Flag::ascii | Flag::vt100, DrawingRequest::Ascii},
    {"UnicodeBeforeVt100", Flag::unicode | Flag::vt100, DrawingRequest::Unicode},
    {"Long", Flag::longLines, automaticDrawing, true},
    {"Arguments", Flag::arguments | Flag::noCompact, automaticDrawing, false, true},
    {"NumericSort", Flag::numericSort, automaticDrawing},
    // Bits that concern other layers change nothing here.
    {"OtherLayersBits",
     Flag::noCompact | Flag::highlight | Flag::showKernel | Flag::showPids | Flag::showTitles |
         Flag::uidChanges | Flag::pid | Flag::user | Flag::numericSort,
     automaticDrawing},
    {"Everything", OptionFlags(0xffff), DrawingRequest::Ascii, true, true},
};
// clang-format on

class OutputOptionsTable : public testing::TestWithParam<OptionsCase> {};

TEST_P(OutputOptionsTable, TakesWhatTheRenderLayerNeedsFromTheFlags) {
    const OptionsCase& c = GetParam();
    const OutputOptions options = outputOptionsOf(c.flags);
    EXPECT_EQ(options.drawing, c.drawing);
    EXPECT_EQ(options.longLines, c.longLines);
    EXPECT_EQ(options.arguments, c.arguments);
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputOptionsTable, testing::ValuesIn(optionsCases),
                         [](const testing::TestParamInfo<OptionsCase>& test) {
                             return std::string(test.param.name);
                         });

}  // namespace
