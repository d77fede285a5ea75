#include "cli/usage.h"

#include <err.h>
#include <libgen.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char versionText[] = "vindle 1.0.3";

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

const char* descriptionFor(const option& entry) {
    switch (entry.val) {
        case 'a':
            return "show command line arguments";
        case 'A':
            return "use ASCII line drawing characters";
        case 'c':
            return "don't compact identical subtrees";
        case 'h':
            return "show this help message and exit";
        case 'H':
            return "highlight the current process (or PID) and its\n"
                   "                              ancestors";
        case 'G':
            return "use VT100 line drawing characters";
        case 'k':
            return "show kernel processes";
        case 'l':
            return "don't truncate long lines";
        case 'n':
            return "sort output by PID";
        case 'p':
            return "show PIDs; implies -c";
        case 't':
            return "show process titles";
        case 'u':
            return "show uid transitions";
        case 'U':
            return "use Unicode line drawing characters";
        case 'V':
            return "show version information and exit";
        case 0:
            if (std::strcmp(entry.name, "pid") == 0)
                return "show only the tree rooted at the process PID";
            if (std::strcmp(entry.name, "user") == 0)
                return "show only trees rooted at processes of USER";
            return "";
        default:
            return "";
    }
}

// The left column of an entry's help line; false for the aliases that the
// help text leaves out.
bool leftColumnFor(const option& entry, std::string& column) {
    if (entry.val == 0) {
        if (std::strcmp(entry.name, "user") == 0)
            column = "USER, --user=USER";
        else if (std::strcmp(entry.name, "pid") == 0)
            column = "PID, --pid=PID";
        else
            column = std::string("--") + entry.name;
        return true;
    }
    if (entry.val == 'c') {
        column = "-c, --no-compact";
        return std::strcmp(entry.name, "no-compact") == 0;
    }
    if (entry.val == 'H') {
        column = "-H[PID], --highlight[=PID]";
        return std::strcmp(entry.name, "highlight") == 0;
    }
    column = std::string("-") + static_cast<char>(entry.val) + ", --" + entry.name;
    return true;
}

}  // namespace

void printUsage(const char* programPath, const option* options, int status) {
    std::string path = programPath;  // basename may change its argument
    std::printf("Usage: %s [options] [PID|USER]\n\nOptions:\n", basename(path.data()));
    for (const option* entry = options; entry->name != nullptr; ++entry) {
        std::string column;
        if (leftColumnFor(*entry, column))
            std::printf("  %-27s %s\n", column.c_str(), descriptionFor(*entry));
    }
    std::exit(status);
}

void printVersion(const char* argument) {
    const char* form = argument != nullptr ? argument : "";
    if (std::strcmp(form, "s") == 0 || std::strcmp(form, "short") == 0) {
        std::puts(versionText);
        std::exit(0);
    }
    utsname system;
    if (uname(&system) != 0) err(1, nullptr);
    std::printf("%s - %s %s %s\n", versionText, system.sysname, system.release, system.machine);
    if (std::strcmp(form, "l") == 0 || std::strcmp(form, "license") == 0) std::puts(licenceNotice);
    std::exit(0);
}
