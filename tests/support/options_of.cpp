#include "support/options_of.h"

RunOptions optionsOf(OptionFlags flags, pid_t rootPid, uid_t rootUid) {
    CommandLine line;
    line.flags = flags;
    line.rootPid = rootPid;
    return runOptionsOf(line, rootUid);
}

Labeller labellerOf(OptionFlags flags, ArgumentSource vectors) {
    Roots roots;
    roots.mode = optionsOf(flags).selection.mode;
    return Labeller(optionsOf(flags).labels, vectors, roots);
}

ProcessTable tableOf(OptionFlags flags, const MemoryRecords& records, pid_t highlightPid) {
    return tableOf(flags, records.snapshot(), highlightPid);
}

ProcessTable tableOf(OptionFlags flags, Snapshot records, pid_t highlightPid) {
    const RunOptions options = optionsOf(flags);
    ProcessTable table = buildForest(std::move(records), options.table);
    if (options.highlightPid) table.markHighlight(highlightPid);
    return table;
}
