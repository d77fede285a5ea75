#include "platform/linux/proc_stat.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

TEST(ParseStatTest, FindsNameParentAndKernelThreadMarkBehindAnyName) {
    struct Case {
        std::string text;
        bool ok;
        std::string name;  // raw
        pid_t ppid;
        bool system;
    };
    const std::string worker64 = "kworker/u16:5-events_unbound_with_a_name_that_runs_to_64_bytes__";
    const Case cases[] = {
        {"2 (kthreadd) S 0 0 0 0 -1 2129984 0 0 0 0 0 0\n", true, "kthreadd", 0, true},
        {"812 (bash) S 7 812 812 34816 900 4194560 1 2 3\n", true, "bash", 7, false},
        // A name may hold ") ", "(", blanks, digits and newlines: it ends at the last ')'.
        {"9 (a) 1 2 3 (b) S 1 9 9 0 -1 64 0 0\n", true, "a) 1 2 3 (b", 1, false},
        {"9 (x\ny) ) R 1 9 9 0 -1 2097216 0\n", true, "x\ny) ", 1, true},
        {"9 (((() S 3 9 9 0 -1 64 0\n", true, "(((", 3, false},
        // Backslashes are not escapes here: the name is raw.
        {"9 (a\\nb\\\\) S 1 9 9 0 -1 64 0\n", true, "a\\nb\\\\", 1, false},
        {"9 (\x1b[2J\t\x7f) S 1 9 9 0 -1 64 0\n", true, "\x1b[2J\t\x7f", 1, false},
        {"9 () S 1 9 9 0 -1 0 0\n", true, "", 1, false},
        {"9 (" + worker64 + ") I 2 0 0 0 -1 69238880 0\n", true, worker64, 2, true},
        {"9 (" + worker64 + "xyz) I 2 0 0 0 -1 69238880 0\n", true, worker64, 2, true},
        {"9 (x) S 1 9 9 0 -1", false, "", 0, false},          // ends before the flags
        {"9 (x) S 1 9 9 0 -1 ", false, "", 0, false},         // ditto, with a blank
        {"9 (x) S 1 9 9 0 -1 z 0", false, "", 0, false},      // flags not a number
        {"9 (x) S gone 9 9 0 -1 64 0", false, "", 0, false},  // parent not a number
        {"9 x S 1 9 9 0 -1 64 0", false, "", 0, false},       // no name in parentheses
        {"9 )x( S 1 9 9 0 -1 64 0", false, "", 0, false},     // ')' before '('
        {"", false, "", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ProcessRecord record{};
        record.kernel = true;  // a stale mark must not survive
        CommandName name;
        ASSERT_EQ(parseStat(c.text, record, name), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(std::string(name.text), c.name);
        EXPECT_EQ(record.ppid, c.ppid);
        EXPECT_EQ(record.kernel, c.system);
    }
}

TEST(ParseStatTest, ReadsTheStartTimeWhereTheTextHasIt) {
    struct Case {
        std::string text;
        std::uint64_t start;  // 0: unknown
    };
    // Up to the start time, field 22: the flags, then twelve fields.
    const std::string head = "9 (a) 1 2 (b) S 1 9 9 0 -1 4194560 5 6 7 8 9 10 11 12 20 0 1 0 ";
    const Case cases[] = {
        {head + "123456789 0 0 18446744073709551615 1\n", 123456789},
        {head + "9999999999999999999 0\n", 9999999999999999999u},  // nineteen digits
        {head + "18446744073709551615 0\n", 0},                    // twenty: not a start time
        {head + "77", 77},                                         // the text ends with it
        {head + "0 5\n", 0},
        {head + "\n", 0},      // ends before it
        {head + "x9 1\n", 0},  // not a number
        {head + "-5 1\n", 0},  // nor this
        {head + "12x 1\n", 0},
        // Fields of every width before it.
        {"9 (a) S 1 9 9 34816 -1 4194560 123456789 0 1234 0 98765 4321 0 0 20 -20 16 0 4242 0\n",
         4242},
        {"9 (a) S 1 9 9 0 -1 64 0 0 0 0 0 0 0 0 0 0 1 0 5", 5},
        {"9 (x) S 1 9 9 0 -1 64 0\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ProcessRecord record{};
        record.start = 999;  // a stale time must not survive
        CommandName name;
        ASSERT_TRUE(parseStat(c.text, record, name));
        EXPECT_EQ(record.start, c.start);
        EXPECT_EQ(record.ppid, 1);
    }
}

// A boot clock for the tests: it reads `clockNow` ticks, and counts how often
// it was read.
std::uint64_t clockNow = 0;
int clockReadings = 0;
std::uint64_t testClock() {
    ++clockReadings;
    return clockNow;
}

// In a time namespace with a negative boot time offset, the kernel writes the
// start time of a process that started before the namespace's boot as the
// negative result taken unsigned: a start time beyond the reader's own boot
// clock, which no process can have. It is unknown; times up to the clock's
// reading are kept, and the clock is asked again before a time beyond its
// last reading is refused.
TEST(ParseStatTest, StartTimesBeyondTheBootClockAreUnknown) {
    const std::string head = "9 (a) S 1 9 9 0 -1 4194560 5 6 7 8 9 10 11 12 20 0 1 0 ";
    struct Case {
        std::uint64_t clock;  // ticks since boot when the clock is read
        std::string start;
        std::uint64_t kept;
        int readings;  // of the clock, with a bound fresh for the case
    };
    const Case cases[] = {
        {5000, "1844674407213", 0, 1},  // started before the namespace's boot
        {5000, "18446744073709", 0, 1}, {5000, "5001", 0, 1}, {5000, "5000", 5000, 1},
        {5000, "300", 300, 1},          {5000, "0", 0, 0},  // unknown already: the clock is not
                                                            // asked
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        clockNow = c.clock;
        clockReadings = 0;
        StartTimeBound bound(testClock);
        ProcessRecord record{};
        CommandName name;
        ASSERT_TRUE(parseStat(head + c.start + " 0\n", record, name, bound));
        EXPECT_EQ(record.start, c.kept);
        EXPECT_EQ(clockReadings, c.readings);
    }
    // One bound for a whole read: the clock is asked again only for a time
    // beyond its last reading, as a process that starts during the read has.
    clockNow = 100;
    clockReadings = 0;
    StartTimeBound bound(testClock);
    ProcessRecord record{};
    CommandName name;
    for (const char* start : {"50", "90", "100"}) {
        ASSERT_TRUE(parseStat(head + start + " 0\n", record, name, bound));
        EXPECT_NE(record.start, 0u) << start;
    }
    EXPECT_EQ(clockReadings, 1);
    clockNow = 120;
    ASSERT_TRUE(parseStat(head + "110 0\n", record, name, bound));
    EXPECT_EQ(record.start, 110u) << "started after the first reading";
    EXPECT_EQ(clockReadings, 2);
}

// The boot clock of this process runs in the ticks that stat counts, as
// /proc/uptime shows it in seconds, and this process's own start time lies
// at or before it.
TEST(ParseStatTest, TheBootClockCountsTicksSinceBoot) {
    std::FILE* uptime = std::fopen("/proc/uptime", "r");
    ASSERT_NE(uptime, nullptr);
    double seconds = 0;
    ASSERT_EQ(std::fscanf(uptime, "%lf", &seconds), 1);
    std::fclose(uptime);
    const double ticks = static_cast<double>(ticksSinceBoot());
    const double hertz = static_cast<double>(sysconf(_SC_CLK_TCK));
    EXPECT_GE(ticks, seconds * hertz - 1);
    EXPECT_LE(ticks, (seconds + 60) * hertz) << "read within a minute of each other";

    std::FILE* file = std::fopen("/proc/self/stat", "r");
    ASSERT_NE(file, nullptr);
    char text[4096];
    const std::size_t n = std::fread(text, 1, sizeof text, file);
    std::fclose(file);
    ProcessRecord record{};
    CommandName name;
    ASSERT_TRUE(parseStat(std::string_view(text, n), record, name));
    ASSERT_NE(record.start, 0u);
    StartTimeBound bound(ticksSinceBoot);
    EXPECT_TRUE(bound.admits(record.start));
    EXPECT_LE(record.start, ticksSinceBoot());
}

}  // namespace
