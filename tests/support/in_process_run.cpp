#include "support/in_process_run.h"

#include <gtest/gtest.h>

#include "cli/run.h"
#include "render/line_writer.h"
#include "support/capture_output.h"
#include "support/options_of.h"

std::string printInProcess(ProcessTable& table, kvm_t* kvm, const InProcessRun& run) {
    LineWriter writer(run.flags, run.drawing, run.columns, false);
    const RunOptions options = optionsOf(run.flags, run.rootPid, run.rootUid);
    std::string output = captureOutput([&] { printForest(table, writer, kvm, options); });
    EXPECT_TRUE(writer.branches.empty()) << "every level pushed is popped";
    EXPECT_TRUE(writer.segments.empty()) << "the last line is ended";
    EXPECT_EQ(writer.closers, 0u) << "every group is closed";
    return output;
}

std::string printInProcess(const std::vector<FakeProcess>& processes, const InProcessRun& run,
                           pid_t highlightPid) {
    ProcFixture proc;
    for (const FakeProcess& process : processes) proc.add(process);
    ProcessTable table = proc.snapshot(run.flags, highlightPid);
    return printInProcess(table, proc.lastHandle(), run);
}
