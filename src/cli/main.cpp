// vindle: prints the machine's processes as a forest of trees.
#include <err.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

#include "cli/options.h"
#include "cli/output_options.h"
#include "cli/run.h"
#include "cli/standard_output.h"
#include "process/process_table.h"
#include "render/line_writer.h"
#include "render/output_setup.h"

namespace {

// Where std::terminate ends up. vindle catches every exception it throws,
// so this is reached only when memory has run out so far that not even the
// exception that says so could be made (the runtime's reserve for that is
// itself taken from memory at start-up), on whichever thread that was.
[[noreturn]] void endOutOfMemory() {
    warnx("out of memory");
    _exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    std::set_terminate(endOutOfMemory);
    std::atexit(closeStandardOutputAtExit);
    char fallbackName[] = "vindle";
    char* fallbackArgv[] = {fallbackName, nullptr};
    if (argc < 1 || argv[0] == nullptr) {  // started with an empty argument vector
        argc = 1;
        argv = fallbackArgv;
    }
    // Memory that runs out anywhere ends the run with a message and status
    // 1, never with the abort of an exception nobody caught. The reader
    // threads catch their own and report it through the snapshot.
    try {
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
    } catch (const std::bad_alloc&) {
        errx(1, "out of memory");
    }
    return 0;
}
