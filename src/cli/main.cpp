// vindle: prints the machine's processes as a forest of trees.
//
// A run is one pass of steps in a fixed order: parse the command line, open
// the kernel's process table and take its snapshot, link the forest (every
// child's name is encoded here, in the locale the program starts in), mark
// the highlight, set up the output (which may switch the locale), choose the
// roots, fold, print. docs/architecture.md draws it.
#include <err.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

#include "cli/options.h"
#include "cli/run.h"
#include "cli/run_options.h"
#include "cli/standard_output.h"
#include "process/labeller.h"
#include "process/process_table.h"
#include "render/line_writer.h"
#include "render/output_setup.h"
#include "render/terminal.h"

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
        const RunOptions options = runOptionsOf(line, lookUpUser(line));
        // Open until the process exits, never closed: the nodes refer to its
        // records. Being static keeps it reachable for leak checkers to the end.
        static kvm_t* const kvm = openKernelOrExit();
        const Snapshot snapshot = snapshotOrExit(kvm, options.table);
        ProcessTable table = buildForest(snapshot, options.table);
        if (options.highlightPid) table.markHighlight(*options.highlightPid);
        // May switch the locale: the children's names, encoded while linking,
        // stay in the POSIX locale; roots, titles, arguments and user names
        // are encoded in the locale this leaves.
        const OutputStyle style = setUpOutput(options.output);
        LineWriter writer(style, options.output, stdout);
        printForest(table, writer, kvm, options);
    } catch (const std::bad_alloc&) {
        errx(1, "out of memory");
    } catch (const ArgumentsUnreadable& failure) {
        errx(1, "%s", failure.message.c_str());
    } catch (const TerminalUnreadable& failure) {
        errx(1, "%s", failure.message.c_str());
    }
    return 0;
}
