// A directory laid out like /proc, for running the kernel-access layer and
// the process model against processes that exist only in a test.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/option_flags.h"
#include "platform/memory_records.h"
#include "platform/process_source.h"
#include "process/process_table.h"

// The forest of a read of `source` as a run with `flags` makes it, with
// `highlightPid` marked when the flags ask for it. The nodes point into
// the records the table keeps.
ProcessTable snapshotForest(SourceHandle& source, OptionFlags flags, pid_t highlightPid = 0);

class ProcFixture {
  public:
    ProcFixture();
    ~ProcFixture();
    ProcFixture(const ProcFixture&) = delete;
    ProcFixture& operator=(const ProcFixture&) = delete;

    // Writes PID/status, PID/stat and PID/cmdline.
    void add(const MemoryProcess& process);

    // Writes any file below the root, creating its directory.
    void writeFile(const std::string& relativePath, const std::string& content);

    const std::string& root() const { return rootPath; }

    // Opens the process table on this directory. The source belongs to the
    // fixture and is closed with it.
    SourceHandle& open();

    // The source that the last snapshot (or open()) was taken through.
    SourceHandle& lastSource() const { return *sources.back(); }

    // The forest of a snapshot of this directory, read through a source of
    // its own (see open()) as a run with `flags` reads it, with
    // `highlightPid` marked when the flags ask for it.
    ProcessTable snapshot(OptionFlags flags, pid_t highlightPid = 0);

  private:
    std::string rootPath;
    std::vector<ProcessSource> sources;  // every source opened on rootPath
};
