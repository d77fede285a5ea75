// vindle: prints the machine's processes as a forest of trees.
#include <cstdio>
#include <cstdlib>

#include "cli/options.h"
#include "cli/output_options.h"
#include "cli/run.h"
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
    const uid_t rootUid = lookUpUser(line);
    // Open until the process exits, never closed: the nodes refer to its
    // records. Being static keeps it reachable for leak checkers to the end.
    static kvm_t* const kvm = openKernel();
    ProcessTable table = takeSnapshot(kvm, line.flags, line.highlightPid);
    // May switch the locale: the children's names, encoded while linking,
    // stay in the POSIX locale; roots, titles and arguments are encoded in
    // the locale this leaves.
    const OutputOptions output = outputOptionsOf(line.flags);
    const OutputStyle style = setUpOutput(output);
    LineWriter writer(style, output, stdout);
    printForest(table, writer, line, rootUid);
    return 0;
}
