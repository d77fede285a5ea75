// vindle: prints the machine's processes as a forest of trees.
#include <cstdlib>

#include "cli/options.h"
#include "cli/run.h"
#include "cli/run_options.h"
#include "cli/standard_output.h"
#include "process/process_table.h"
#include "render/line_writer.h"

int main(int argc, char** argv) {
    std::atexit(closeStandardOutputAtExit);
    char fallbackName[] = "vindle";
    char* fallbackArgv[] = {fallbackName, nullptr};
    if (argc < 1 || argv[0] == nullptr) {  // started with an empty argument vector
        argc = 1;
        argv = fallbackArgv;
    }
    const CommandLine line = parseOptions(argc, argv);
    const RunOptions options = runOptionsOf(line, lookUpUser(line));
    // Open until the process exits, never closed: the nodes refer to its
    // records. Being static keeps it reachable for leak checkers to the end.
    static kvm_t* const kvm = openKernelOrExit();
    ProcessTable table = buildForest(snapshotOrExit(kvm, options.table), options.table);
    if (options.highlightPid) table.markHighlight(*options.highlightPid);
    LineWriter writer(line.flags);
    printForest(table, writer, kvm, options);
    return 0;
}
