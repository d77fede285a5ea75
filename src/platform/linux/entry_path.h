// The path of one file of a process's /proc entry, relative to the directory.
#pragma once

#include <sys/types.h>

#include <algorithm>
#include <charconv>
#include <string_view>

// "PID/FILE" for the entry of `pid`, without the cost of a format.
struct EntryPath {
    EntryPath(pid_t pid, std::string_view file) {
        auto [end, ec] = std::to_chars(text, text + sizeof text, pid);
        if (ec != std::errc{} || (end - text) + 1 + file.size() >= sizeof text) {
            text[0] = '\0';  // opens nothing
            return;
        }
        *end++ = '/';
        *std::copy(file.begin(), file.end(), end) = '\0';
    }
    char text[64] = {};
};
