#include "support/in_process_run.h"

#include <gtest/gtest.h>

#include "cli/output_options.h"
#include "cli/run.h"
#include "render/line_writer.h"
#include "support/memory_stream.h"

std::string printInProcess(ProcessTable& table, const InProcessRun& run) {
    MemoryStream memory;
    LineWriter writer({run.drawing, run.columns, false}, outputOptionsOf(run.flags),
                      memory.stream());
    CommandLine line;
    line.flags = run.flags;
    line.rootPid = run.rootPid;
    printForest(table, writer, line, run.rootUid);
    const std::string output = memory.text();
    // A label written now is a root on a line of its own, with nothing
    // before or after it.
    writer.writeLabel("p", false, 0);
    writer.endLine();
    EXPECT_EQ(memory.text().substr(output.size()), "p\n")
        << "every level pushed is popped, the last line is ended and every group is closed";
    return output;
}

std::string printInProcess(const std::vector<FakeProcess>& processes, const InProcessRun& run,
                           pid_t highlightPid) {
    ProcFixture proc;
    for (const FakeProcess& process : processes) proc.add(process);
    ProcessTable table = proc.snapshot(run.flags, highlightPid);
    return printInProcess(table, run);
}
