// A directory laid out like /proc, for running the kernel-access layer and
// the process model against processes that exist only in a test.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "cli/option_flags.h"
#include "process/process_table.h"

struct FakeProcess {
    pid_t pid = 0;
    pid_t ppid = 0;
    std::string name;                    // raw name; written with the kernel's escapes
    uid_t uid = 0;
    std::vector<std::string> arguments;  // empty: an empty cmdline
    bool kthread = false;
};

class ProcFixture {
public:
    ProcFixture();
    ~ProcFixture();
    ProcFixture(const ProcFixture&) = delete;
    ProcFixture& operator=(const ProcFixture&) = delete;

    // Writes PID/status (with a "Kthread:" line) and PID/cmdline.
    void add(const FakeProcess& process);

    // Writes any file below the root, creating its directory.
    void writeFile(const std::string& relativePath, const std::string& content);

    const std::string& root() const { return rootPath; }

    // Points the kernel-access layer at this directory and takes a snapshot.
    ProcessTable snapshot(const OptionFlags& flags, pid_t highlightPid = 0);

    // The text of a status file as the kernel writes it.
    static std::string statusText(const FakeProcess& process, bool withKthreadLine = true);

private:
    std::string rootPath;
};





#include "support/capture_output.h"
