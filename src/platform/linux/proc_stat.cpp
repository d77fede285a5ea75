#include "platform/linux/proc_stat.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace {

// The text after the name, as a cursor. The kernel separates the fields by
// one blank each, so a field is found by counting blanks, eight bytes at a
// time, and a number is read where it starts, without finding its end
// first: every process of a snapshot takes this path.
class Fields {
  public:
    Fields(const char* first, const char* last) : at(first), end(last) {}

    // Moves past the next `count` blanks; false when the text ends first.
    // While the blank sought lies beyond the next eight bytes, those are
    // counted at once.
    bool skipBlanks(int count) {
        while (end - at >= 8) {
            std::uint64_t word;
            std::memcpy(&word, at, sizeof word);
            const int blanks = blanksIn(word);
            if (blanks >= count) break;
            count -= blanks;
            at += 8;
        }
        while (count > 0) {
            if (at == end) return false;
            count -= *at++ == ' ';
        }
        return true;
    }

    // The start time: the digits here, up to a blank, a newline or the end
    // of the text; 0 (unknown) for anything else. Nineteen digits, more than
    // any clock has counted since boot, cannot overflow.
    std::uint64_t readTicks() {
        const char* first = at;
        std::uint64_t ticks = 0;
        while (at != end && static_cast<unsigned char>(*at - '0') < 10 && at - first < 19)
            ticks = 10 * ticks + static_cast<unsigned>(*at++ - '0');
        const bool ended = at == end || *at == ' ' || *at == '\n';
        return at != first && ended ? ticks : 0;
    }

    // Reads the number that starts here and ends at a blank, a newline or
    // the end of the text.
    template <typename Number>
    bool readNumber(Number& value) {
        auto [stop, ec] = std::from_chars(at, end, value);
        if (ec != std::errc{} || stop == at) return false;
        if (stop != end && *stop != ' ' && *stop != '\n') return false;
        at = stop;
        return true;
    }

  private:
    // The number of blank bytes in `word`.
    static int blanksIn(std::uint64_t word) {
        constexpr std::uint64_t ones = 0x0101010101010101u;
        constexpr std::uint64_t low7 = 0x7f7f7f7f7f7f7f7fu;
        const std::uint64_t zeroed = word ^ (ones * ' ');  // a blank is now a zero byte
        // The high bit of each zero byte, exactly; then their sum.
        const std::uint64_t marks = ~(((zeroed & low7) + low7) | zeroed | low7);
        return static_cast<int>(((marks >> 7) * ones) >> 56);
    }

    const char* at;
    const char* end;
};

}  // namespace

bool parseStat(std::string_view text, ProcessRecord& record, CommandName& name) {
    StartTimeBound none;
    return parseStat(text, record, name, none);
}

bool parseStat(std::string_view text, ProcessRecord& record, CommandName& name,
               StartTimeBound& bound) {
    const std::size_t open = text.find('(');
    // The last ')' ends the name; memrchr scans the ~250 bytes of numbers
    // after it many times faster than a loop of single bytes.
    const void* last = text.empty() ? nullptr : memrchr(text.data(), ')', text.size());
    if (open == std::string_view::npos || last == nullptr) return false;
    const std::size_t close =
        static_cast<std::size_t>(static_cast<const char*>(last) - text.data());
    if (close < open) return false;
    const std::string_view raw = text.substr(open + 1, close - open - 1);
    const std::size_t kept = std::min<std::size_t>(raw.size(), longestName);
    std::copy_n(raw.data(), kept, name.text);
    name.text[kept] = '\0';

    // ") state ppid pgrp session tty tpgid flags minflt cminflt majflt
    // cmajflt utime stime cutime cstime priority nice num_threads
    // itrealvalue starttime ..."
    Fields fields(text.data() + close + 1, text.data() + text.size());
    if (!fields.skipBlanks(2) || !fields.readNumber(record.ppid)) return false;
    unsigned long flags = 0;
    if (!fields.skipBlanks(5) || !fields.readNumber(flags)) return false;
    record.kernel = (flags & PF_KTHREAD) != 0;
    const std::uint64_t start = fields.skipBlanks(13) ? fields.readTicks() : 0;
    record.start = bound.admits(start) ? start : 0;
    return true;
}
