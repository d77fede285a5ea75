#include "platform/linux/proc_stat.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

// Moves `text` past the next blank-separated field and returns that field;
// empty when there is none. The kernel separates fields by one blank.
std::string_view nextField(std::string_view& text) {
    const char* at = text.data();
    const char* end = at + text.size();
    while (at != end && *at == ' ') ++at;
    const char* start = at;
    while (at != end && *at != ' ' && *at != '\n') ++at;
    text = std::string_view(at, static_cast<std::size_t>(end - at));
    return std::string_view(start, static_cast<std::size_t>(at - start));
}

template <typename Number>
bool parseNumber(std::string_view field, Number& value) {
    const char* last = field.data() + field.size();
    auto [stop, ec] = std::from_chars(field.data(), last, value);
    return ec == std::errc{} && stop == last && !field.empty();
}

}  // namespace

bool parseStat(std::string_view text, kinfo_proc& record, CommandName& name) {
    const std::size_t open = text.find('(');
    // The last ')' ends the name; memrchr scans the ~250 bytes of numbers
    // after it many times faster than a loop of single bytes.
    const void* last = text.empty() ? nullptr : memrchr(text.data(), ')', text.size());
    if (open == std::string_view::npos || last == nullptr) return false;
    const std::size_t close =
        static_cast<std::size_t>(static_cast<const char*>(last) - text.data());
    if (close < open) return false;
    const std::string_view raw = text.substr(open + 1, close - open - 1);
    const std::size_t kept = std::min<std::size_t>(raw.size(), COMMLEN);
    std::copy_n(raw.data(), kept, name.text);
    name.text[kept] = '\0';

    text.remove_prefix(close + 1);
    nextField(text);  // state
    if (!parseNumber(nextField(text), record.ki_ppid)) return false;
    for (int skipped = 0; skipped < 4; ++skipped) nextField(text);  // pgrp session tty tpgid
    unsigned long flags = 0;
    if (!parseNumber(nextField(text), flags)) return false;
    record.ki_flag &= ~P_SYSTEM;
    if ((flags & PF_KTHREAD) != 0) record.ki_flag |= P_SYSTEM;
    // minflt cminflt majflt cmajflt utime stime cutime cstime priority nice
    // num_threads itrealvalue, then the start time.
    for (int skipped = 0; skipped < 12; ++skipped) nextField(text);
    if (!parseNumber(nextField(text), record.ki_start)) record.ki_start = 0;
    return true;
}
