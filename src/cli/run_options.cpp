#include "cli/run_options.h"

#include "cli/output_options.h"

namespace {

bool has(const CommandLine& line, OptionFlags bit) { return (line.flags & bit) != 0; }

Selection selectionOf(const CommandLine& line, uid_t userUid) {
    if (has(line, Flag::pid)) return {.mode = Selection::Mode::pid, .pid = line.rootPid};
    if (has(line, Flag::user)) return {.mode = Selection::Mode::user, .uid = userUid};
    return {};
}

}  // namespace

RunOptions runOptionsOf(const CommandLine& line, uid_t userUid) {
    RunOptions options;
    options.table = {
        .showKernel = has(line, Flag::showKernel),
        .childOrder = has(line, Flag::numericSort) ? ChildOrder::ByPid : ChildOrder::ByName,
        .realUid = has(line, Flag::uidChanges) || has(line, Flag::user)};
    options.labels = {.titles = has(line, Flag::showTitles),
                      .pids = has(line, Flag::showPids),
                      .userChanges = has(line, Flag::uidChanges),
                      .argumentsFollow = has(line, Flag::arguments)};
    options.selection = selectionOf(line, userUid);
    options.output = outputOptionsOf(line.flags);
    if (has(line, Flag::highlight)) options.table.highlightPid = line.highlightPid;
    options.compact = !has(line, Flag::noCompact);
    return options;
}
