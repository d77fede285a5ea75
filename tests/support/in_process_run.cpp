#include "support/in_process_run.h"

#include <gtest/gtest.h>

#include "cli/run.h"
#include "render/line_writer.h"
#include "support/memory_stream.h"
#include "support/options_of.h"

std::string printInProcess(ProcessTable& table, kvm_t* kvm, const InProcessRun& run) {
    MemoryStream memory;
    const RunOptions options = optionsOf(run.flags, run.rootPid, run.rootUid);
    LineWriter writer({run.drawing, run.columns, false}, options.output, memory.stream());
    printForest(table, writer, kvm, options);
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
    return printInProcess(table, proc.lastHandle(), run);
}
