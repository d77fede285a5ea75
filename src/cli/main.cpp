// vindle: prints the machine's processes as a forest of trees.
//
// A run is one pass of steps in a fixed order: parse the command line, open
// the kernel's process table and take its snapshot, link the forest (every
// child's name is encoded here, in the locale the program starts in), mark
// the highlight, set up the output (which may switch the locale), choose the
// roots, fold, print. docs/architecture.md draws it.
#include <err.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

#include "cli/options.h"
#include "cli/run.h"
#include "cli/run_options.h"
#include "cli/standard_output.h"
#include "cli/uncaught_failure.h"
#include "platform/failure.h"
#include "platform/process_source.h"
#include "process/process_table.h"
#include "render/line_writer.h"
#include "render/output_setup.h"
#include "render/terminal.h"

int main(int argc, char** argv) {
    // vindle catches every exception it throws; what reaches terminate is a
    // failure of the runtime's own (a thread that cannot be joined, an
    // exception that could not even be made): a message and status 1.
    std::set_terminate(endOnUncaughtFailure);
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
        // The table keeps the records it reads; the source stays open for
        // the argument vectors that labels and lines read.
        const ProcessSource source = openProcessSource();
        ProcessTable table = makeTable(
            [&](const RecordNeeds& needs) { return readProcesses(*source, needs); }, options.table);
        // May switch the locale: the children's names, encoded while linking,
        // stay in the POSIX locale; roots, titles, arguments and user names
        // are encoded in the locale this leaves.
        std::FILE* const output = stdout;
        const OutputStyle style = setUpOutput(options.output, output);
        LineWriter writer(style, options.output, output);
        printForest(table, writer, *source, options);
    } catch (const std::bad_alloc&) {
        errx(1, "out of memory");
    } catch (const Failure& failure) {
        errx(1, "%s", failure.message.c_str());
    }
    return 0;
}
