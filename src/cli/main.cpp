// vindle: prints the machine's processes as a forest of trees.
//
// A run is one pass of steps in a fixed order: parse the command line, open
// the kernel's process table and take its snapshot, link the forest (every
// child's name is encoded here, in the locale the program starts in), mark
// the highlight, set up the output (which may switch the locale), choose the
// roots, fold, print. docs/architecture.md draws it.
#include <cstdio>
#include <cstdlib>

#include "cli/options.h"
#include "cli/run.h"
#include "cli/run_options.h"
#include "cli/standard_output.h"
#include "process/process_table.h"
#include "render/line_writer.h"
#include "render/output_setup.h"

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
    const Snapshot snapshot = snapshotOrExit(kvm, options.table);
    ProcessTable table = buildForest(snapshot, options.table);
    if (options.highlightPid) table.markHighlight(*options.highlightPid);
    // May switch the locale: the children's names, encoded while linking,
    // stay in the POSIX locale; roots, titles, arguments and user names are
    // encoded in the locale this leaves.
    const OutputStyle style = setUpOutput(options.output);
    LineWriter writer(style, options.output, stdout);
    printForest(table, writer, kvm, options);
    return 0;
}
