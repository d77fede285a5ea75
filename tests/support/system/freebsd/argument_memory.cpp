#include "support/system/argument_memory.h"

#include <sys/sysctl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

std::string ownArgumentMemory() {
    int name[] = {CTL_KERN, KERN_PROC, KERN_PROC_ARGS, static_cast<int>(getpid())};
    std::size_t size = 0;
    if (sysctl(name, 4, nullptr, &size, nullptr, 0) != 0) return {};
    std::string text(size, '\0');
    if (sysctl(name, 4, text.data(), &size, nullptr, 0) != 0) return {};
    text.resize(size);
    return text;
}

// The kernel keeps its own copy of the arguments, which rewriting argv's
// memory does not change; setproctitle replaces that copy. A leading '-'
// leaves out the program's name that it would otherwise put first.
bool showTitle(int, char**, const std::string& title) {
    setproctitle("-%s", title.c_str());
    if (ownArgumentMemory() != title + '\0') {
        errno = EPROTO;
        return false;
    }
    return true;
}
