#include "support/options_of.h"

RunOptions optionsOf(OptionFlags flags, pid_t rootPid, uid_t rootUid) {
    CommandLine line;
    line.flags = flags;
    line.rootPid = rootPid;
    return runOptionsOf(line, rootUid);
}

Labeller labellerOf(OptionFlags flags, ArgumentSource vectors) {
    return Labeller(optionsOf(flags).labels, vectors, Roots{});
}

ProcessTable tableOf(OptionFlags flags, const MemoryRecords& records, pid_t highlightPid) {
    const RunOptions options = optionsOf(flags);
    ProcessTable table = buildForest(records.records(), options.table);
    if (options.highlightPid) table.markHighlight(highlightPid);
    return table;
}
