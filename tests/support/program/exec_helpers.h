// Small pieces shared by the code that starts programs for the tests.
#pragma once

#include <chrono>
#include <string>
#include <vector>

// The environment, which POSIX leaves to the program to declare (some C
// libraries declare it in <unistd.h> only on request).
extern char** environ;

// A null-terminated vector of pointers into `words`, as execve takes it.
inline std::vector<char*> pointersTo(std::vector<std::string>& words) {
    std::vector<char*> pointers;
    for (std::string& word : words) pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Seconds on the monotonic clock, for deadlines.
inline double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
