#include "support/options_of.h"

RunOptions optionsOf(OptionFlags flags, pid_t rootPid, uid_t rootUid, pid_t highlightPid) {
    CommandLine line;
    line.flags = flags;
    line.rootPid = rootPid;
    line.highlightPid = highlightPid;
    return runOptionsOf(line, rootUid);
}

Labeller labellerOf(OptionFlags flags, ArgumentSource vectors) {
    Roots roots;
    roots.mode = optionsOf(flags).selection.mode;
    return Labeller(optionsOf(flags).labels, vectors, roots);
}

ProcessTable tableOf(OptionFlags flags, const MemoryRecords& records, pid_t highlightPid) {
    return makeTable(records.reader(), optionsOf(flags, 0, 0, highlightPid).table);
}
