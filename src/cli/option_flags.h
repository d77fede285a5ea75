// The option word: one bit per option, named after the long option.
#pragma once

#include <cstdint>

using OptionFlags = std::uint16_t;

namespace Flag {
constexpr OptionFlags arguments = 0x0001;
constexpr OptionFlags ascii = 0x0002;
constexpr OptionFlags noCompact = 0x0004;
constexpr OptionFlags highlight = 0x0008;
constexpr OptionFlags vt100 = 0x0010;
constexpr OptionFlags showKernel = 0x0020;
constexpr OptionFlags longLines = 0x0040;  // --long: lines are never cut
constexpr OptionFlags numericSort = 0x0080;
constexpr OptionFlags showPids = 0x0100;
constexpr OptionFlags showTitles = 0x0200;
constexpr OptionFlags uidChanges = 0x0400;
constexpr OptionFlags unicode = 0x0800;
constexpr OptionFlags pid = 0x1000;   // pid mode
constexpr OptionFlags user = 0x2000;  // user mode

constexpr OptionFlags drawingSets = ascii | vt100 | unicode;
constexpr OptionFlags selection = pid | user;
}  // namespace Flag
