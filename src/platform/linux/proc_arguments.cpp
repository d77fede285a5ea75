#include "platform/linux/proc_arguments.h"

#include <cstddef>

void splitArguments(std::vector<char>& buffer, std::vector<char*>& argv) {
    argv.clear();
    if (buffer.empty()) return;
    if (buffer.back() != '\0') buffer.push_back('\0');
    // Keep one NUL after the last byte that is not NUL: the padding goes
    // before any pointer is made, however long it is.
    std::size_t used = buffer.size();
    while (used > 1 && buffer[used - 2] == '\0') --used;
    char* const end = buffer.data() + used;
    for (char* word = buffer.data(); word < end;) {
        argv.push_back(word);
        while (*word != '\0') ++word;
        ++word;
    }
    argv.push_back(nullptr);
}
