#include "cli/usage.h"

#include <err.h>
#include <libgen.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/version.h"

namespace {

constexpr char licenceNotice[] =
    "\n"
    "   vindle prints the processes of the machine as a forest of trees.\n"
    "      Copyright (c) 2026 the vindle developers. All rights reserved.\n"
    "\n"
    "   You may use, copy, change and pass on this program, as source or as\n"
    "   a binary, as long as the copyright line above and this notice come\n"
    "   with every copy.\n"
    "\n"
    "   The program comes as it is, with no warranty of any kind, express or\n"
    "   implied. Its authors are not liable for any damage that comes from\n"
    "   using it.";

}  // namespace

void printUsage(const char* programPath, std::span<const OptionEntry> options, int status) {
    std::string path = programPath;  // basename may change its argument
    std::printf("Usage: %s [options] [PID|USER]\n\nOptions:\n", basename(path.data()));
    for (const OptionEntry& entry : options)
        if (!isAlias(entry)) std::printf("  %-27s %s\n", entry.helpColumn, entry.description);
    std::exit(status);
}

void printVersion(const char* argument) {
    const char* form = argument != nullptr ? argument : "";
    if (std::strcmp(form, "s") == 0 || std::strcmp(form, "short") == 0) {
        std::printf("vindle %s\n", vindleVersion);
        std::exit(0);
    }
    utsname system;
    if (uname(&system) != 0) err(1, nullptr);
    std::printf("vindle %s - %s %s %s\n", vindleVersion, system.sysname, system.release,
                system.machine);
    if (std::strcmp(form, "l") == 0 || std::strcmp(form, "license") == 0) std::puts(licenceNotice);
    std::exit(0);
}
