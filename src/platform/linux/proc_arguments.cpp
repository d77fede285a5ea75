#include "platform/linux/proc_arguments.h"

#include <algorithm>
#include <cstring>

#include "platform/linux/plain_io.h"

namespace {

constexpr std::size_t firstRead = 4096;  // most argument texts are shorter

}  // namespace

bool readArgumentText(int fd, std::size_t limit, ArgumentExtent extent, std::vector<char>& buffer,
                      ArgumentText& text) {
    text = {};
    // One byte beyond the limit tells whether the text goes on; one more
    // stays free for the NUL of splitArguments.
    const std::size_t most = limit + 1;
    if (buffer.size() < std::min(firstRead, most + 1)) buffer.resize(std::min(firstRead, most + 1));
    for (;;) {
        const std::size_t room = std::min(buffer.size() - 1, most) - text.length;
        char* const start = buffer.data() + text.length;
        const ssize_t n = readUpTo(fd, start, room);
        if (n < 0) return false;
        const auto got = static_cast<std::size_t>(n);
        text.length += got;
        if (got < room) return true;  // the end: there was room to spare
        if (extent == ArgumentExtent::title && std::memchr(start, '\0', got) != nullptr)
            return true;  // the title is whole
        if (text.length == most) {
            text.length = limit;
            text.cut = true;
            return true;
        }
        buffer.resize(std::min(2 * buffer.size(), most + 1));
    }
}

void splitArguments(std::vector<char>& buffer, std::size_t length, std::vector<char*>& argv) {
    argv.clear();
    if (length == 0) return;
    char* const text = buffer.data();
    if (text[length - 1] != '\0') text[length++] = '\0';
    // Keep one NUL after the last byte that is not NUL: the padding goes
    // before any pointer is made, however long it is.
    std::size_t used = length;
    while (used > 1 && text[used - 2] == '\0') --used;
    char* const end = text + used;
    for (char* word = text; word < end;) {
        argv.push_back(word);
        while (*word != '\0') ++word;
        ++word;
    }
    argv.push_back(nullptr);
}

bool keepWordsExecveCouldPass(std::vector<char*>& argv, std::size_t limit) {
    const std::size_t most = std::max<std::size_t>(limit / (1 + sizeof(char*)), 1);
    if (argv.size() <= most + 1) return false;
    argv.resize(most);
    argv.push_back(nullptr);
    return true;
}
