// retitle: a process that rewrites its argument memory the way daemons set
// their title, and then sleeps until it is killed.
//
//     retitle TITLE [ARGUMENT...]
//
// The memory from argv[0] to the end of the last argument becomes TITLE and
// each ARGUMENT, every one ending in a NUL, followed by NULs up to the old end
// of the memory: the kernel then reports all of it, padding included, as
// /proc/PID/cmdline. A long argv[0] makes room for a long run of padding.
// Once /proc/self/cmdline reads exactly that, it prints "ready" on standard
// output; if it does not, it says why on standard error and exits 1.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "support/system/argument_memory.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: retitle TITLE [ARGUMENT...]\n");
        return 1;
    }
    std::string content;
    for (int i = 1; i < argc; ++i) content.append(argv[i]).push_back('\0');
    char* const start = argv[0];
    char* const end = argv[argc - 1] + std::strlen(argv[argc - 1]) + 1;
    const auto size = static_cast<std::size_t>(end - start);
    if (content.size() >= size) {
        std::fprintf(stderr, "retitle: no room for padding: make argv[0] longer\n");
        return 1;
    }
    std::memcpy(start, content.data(), content.size());
    std::memset(start + content.size(), '\0', size - content.size());
    const std::string expected = content + std::string(size - content.size(), '\0');
    if (ownArgumentMemory() != expected) {
        std::fprintf(stderr, "retitle: the kernel does not report the rewritten memory\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) pause();
}
