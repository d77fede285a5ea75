// The help text that vindle prints, byte for byte, under a given program name.
#pragma once

#include <string>

inline std::string helpText(const std::string& programName = "vindle") {
    return "Usage: " + programName +
           " [options] [PID|USER]\n"
           "\n"
           "Options:\n"
           "  -a, --arguments             show command line arguments\n"
           "  -A, --ascii                 use ASCII line drawing characters\n"
           "  -c, --no-compact            don't compact identical subtrees\n"
           "  -h, --help                  show this help message and exit\n"
           "  -H[PID], --highlight[=PID]  highlight the current process (or PID) and its\n"
           "                              ancestors\n"
           "  -G, --vt100                 use VT100 line drawing characters\n"
           "  -k, --show-kernel           show kernel processes\n"
           "  -l, --long                  don't truncate long lines\n"
           "  -n, --numeric-sort          sort output by PID\n"
           "  -p, --show-pids             show PIDs; implies -c\n"
           "  -t, --show-titles           show process titles\n"
           "  -u, --uid-changes           show uid transitions\n"
           "  -U, --unicode               use Unicode line drawing characters\n"
           "  -V, --version               show version information and exit\n"
           "  PID, --pid=PID              show only the tree rooted at the process PID\n"
           "  USER, --user=USER           show only trees rooted at processes of USER\n";
}
