// Small pieces shared by the code that starts programs for the tests.
#pragma once

#include <time.h>

#include <string>
#include <vector>

// A null-terminated vector of pointers into `words`, as execve takes it.
inline std::vector<char*> pointersTo(std::vector<std::string>& words) {
    std::vector<char*> pointers;
    for (std::string& word : words) pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Seconds on the monotonic clock, for deadlines.
inline double now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}
