#include "support/options_of.h"

RunOptions optionsOf(OptionFlags flags, pid_t rootPid, uid_t rootUid) {
    CommandLine line;
    line.flags = flags;
    line.rootPid = rootPid;
    return runOptionsOf(line, rootUid);
}

Labeller labellerOf(OptionFlags flags, kvm_t* kvm) {
    Roots roots;
    roots.mode = optionsOf(flags).selection.mode;
    return Labeller(optionsOf(flags).labels, kvm, roots);
}
