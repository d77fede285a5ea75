// The column measure that the whole-program tests hold vindle's lines to.
#include "support/program/columns.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <string>

#include "support/escapes.h"

namespace {

struct ColumnCase {
    const char* name;
    std::string line;
    const char* locale;
    std::size_t columns;
};

const ColumnCase columnCases[] = {
    {"Ascii", "init---sh", "C", 9},
    {"OwnEscapesFillNothing", drawn("qq") + bold("x"), "C", 3},
    {"WideCharactersFillTwo", "\xe6\x97\xa5\xe6\x9c\xac", "C.UTF-8", 4},
    {"CombiningAccentsFillNothing",
     "e\xcc\x81"
     "e\xcc\x81",
     "C.UTF-8", 2},
    {"InvalidBytesFillOneEach",
     "\xff\xfe"
     "a",
     "C.UTF-8", 3},
    {"NonAsciiBytesInTheCLocaleFillOneEach", "\xc3\xa9", "C", 2},
};

TEST(ColumnsTest, MeasuresAsTheLocaleDoes) {
    for (const ColumnCase& c : columnCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(columnsOf(c.line, c.locale), c.columns);
    }
}

// A missing locale fails the test that measures, naming it; no exception
// escapes the test.
TEST(ColumnsTest, AMissingLocaleFailsTheTestWithItsName) {
    EXPECT_NONFATAL_FAILURE(columnsOf("abc", "xx_XX.NO-SUCH-CHARSET"),
                            "xx_XX.NO-SUCH-CHARSET is not installed");
}

}  // namespace
