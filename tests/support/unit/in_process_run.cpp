#include "support/unit/in_process_run.h"

#include <gtest/gtest.h>

#include "cli/run.h"
#include "render/line_writer.h"
#include "support/memory_stream.h"
#include "support/options_of.h"

std::string printInProcess(ProcessTable& table, ArgumentSource vectors, const InProcessRun& run) {
    MemoryStream memory;
    const RunOptions options = optionsOf(run.flags, run.rootPid, run.rootUid);
    std::optional<std::uint64_t> columns;
    if (run.columns != 0 && !options.output.longLines) columns = run.columns;
    LineWriter writer({run.drawing, columns, false}, options.output, memory.stream());
    printForest(table, writer, vectors, options);
    const std::string output = memory.text();
    // A label written now is a root on a line of its own, with nothing
    // before or after it.
    writer.writeLabel("p", false, std::nullopt);
    writer.endLine();
    EXPECT_EQ(memory.text().substr(output.size()), "p\n")
        << "every level pushed is popped, the last line is ended and every group is closed";
    return output;
}

std::string printInProcess(const std::vector<MemoryProcess>& processes, const InProcessRun& run,
                           pid_t highlightPid) {
    MemoryRecords records;
    for (const MemoryProcess& process : processes) records.add(process);
    ProcessTable table = tableOf(run.flags, records, highlightPid);
    return printInProcess(table, records.arguments(), run);
}
