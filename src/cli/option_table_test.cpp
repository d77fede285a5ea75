#include "cli/option_table.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <set>
#include <string>

namespace {

// -H and -V take an optional argument, the other letters none; each letter
// once, in the order of the help text.
TEST(OptionTableTest, ShortOptionStringHasEveryLetterOnceWithItsArgumentKind) {
    EXPECT_STREQ(shortOptions, "aAchH::GklnptuUV::");
}

TEST(OptionTableTest, LongOptionArrayHoldsEveryEntryAndEndsWithANullRecord) {
    for (std::size_t i = 0; i < optionCount; ++i) {
        SCOPED_TRACE(optionTable[i].name);
        EXPECT_STREQ(longOptions[i].name, optionTable[i].name);
        EXPECT_EQ(longOptions[i].has_arg, optionTable[i].argument);
        EXPECT_EQ(longOptions[i].flag, nullptr);
        EXPECT_EQ(longOptions[i].val, optionTable[i].letter);
    }
    const option& end = longOptions[optionCount];
    EXPECT_EQ(end.name, nullptr);
    EXPECT_EQ(end.has_arg, 0);
    EXPECT_EQ(end.flag, nullptr);
    EXPECT_EQ(end.val, 0);
}

// The entry that defines the short option `letter`, or null.
const OptionEntry* definingEntry(char letter) {
    const OptionEntry* found = nullptr;
    for (const OptionEntry& entry : optionTable)
        if (definesShortOption(entry) && entry.letter == letter) {
            EXPECT_EQ(found, nullptr) << "-" << letter << " is defined twice";
            found = &entry;
        }
    return found;
}

// An alias and the short option it shares a letter with do the same, so that
// getopt_long may report either; a long-only option is never an alias.
TEST(OptionTableTest, AliasesDoWhatTheirShortOptionDoes) {
    std::set<std::string> names;
    for (const OptionEntry& entry : optionTable) {
        SCOPED_TRACE(entry.name);
        EXPECT_TRUE(names.insert(entry.name).second) << "a second entry of this name";
        if (entry.letter == '\0') {
            EXPECT_FALSE(isAlias(entry));
            continue;
        }
        const OptionEntry* shortEntry = definingEntry(entry.letter);
        ASSERT_NE(shortEntry, nullptr) << "no entry defines -" << entry.letter;
        EXPECT_EQ(entry.action, shortEntry->action);
        EXPECT_EQ(entry.flags, shortEntry->flags);
    }
}

// Each help line names the option's short letter first and its long name.
TEST(OptionTableTest, HelpLinesNameTheirOption) {
    for (const OptionEntry& entry : optionTable) {
        if (isAlias(entry)) continue;
        SCOPED_TRACE(entry.name);
        const std::string column = entry.helpColumn;
        const std::string longForm = std::string("--") + entry.name;
        const std::size_t at = column.find(longForm);
        ASSERT_NE(at, std::string::npos) << column;
        const std::size_t after = at + longForm.size();
        EXPECT_TRUE(after == column.size() || column[after] == '=' || column[after] == '[')
            << column;
        if (entry.letter != '\0') {
            EXPECT_EQ(column.rfind(std::string("-") + entry.letter, 0), 0u) << column;
        }
        ASSERT_NE(entry.description, nullptr);
        EXPECT_GT(std::strlen(entry.description), 0u);
    }
}

// Every bit of the option word is set by some option; a drawing set and a
// selection mode are one bit of their group, which the option replaces.
TEST(OptionTableTest, EveryBitOfTheOptionWordHasItsOption) {
    OptionFlags setByTable = 0;
    for (const OptionEntry& entry : optionTable) {
        SCOPED_TRACE(entry.name);
        setByTable = static_cast<OptionFlags>(setByTable | entry.flags);
        switch (entry.action) {
            case OptionAction::chooseDrawing:
                EXPECT_EQ(std::popcount(entry.flags), 1);
                EXPECT_NE(entry.flags & Flag::drawingSets, 0);
                break;
            case OptionAction::selectPid:
                EXPECT_EQ(entry.flags, Flag::pid);
                break;
            case OptionAction::selectUser:
                EXPECT_EQ(entry.flags, Flag::user);
                break;
            case OptionAction::showHelp:
            case OptionAction::showVersion:
                EXPECT_EQ(entry.flags, 0);
                break;
            case OptionAction::setFlags:
            case OptionAction::highlight:
                EXPECT_NE(entry.flags, 0);
                EXPECT_EQ(entry.flags & (Flag::drawingSets | Flag::selection), 0);
                break;
        }
    }
    EXPECT_EQ(setByTable, 0x3fff);
}

}  // namespace
