#include "support/options_of.h"

RunOptions optionsOf(OptionFlags flags, pid_t rootPid, uid_t rootUid) {
    CommandLine line;
    line.flags = flags;
    line.rootPid = rootPid;
    return runOptionsOf(line, rootUid);
}
