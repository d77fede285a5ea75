#include "platform/linux/proc_arguments.h"

void splitArguments(std::vector<char>& buffer, std::vector<char*>& argv) {
    argv.clear();
    if (buffer.empty()) return;
    if (buffer.back() != '\0') buffer.push_back('\0');
    char* start = buffer.data();
    char* end = start + buffer.size();
    for (char* word = start; word < end;) {
        argv.push_back(word);
        while (*word != '\0') ++word;
        ++word;
    }
    argv.push_back(nullptr);
}
