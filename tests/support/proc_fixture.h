// A directory laid out like /proc, for running the kernel-access layer and
// the process model against processes that exist only in a test.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/option_flags.h"
#include "platform/kvm.h"
#include "process/process_table.h"

// A handle of the kernel-access layer that is closed when it goes.
struct KvmCloser {
    void operator()(kvm_t* kd) const { kvm_close(kd); }
};
using KvmHandle = std::unique_ptr<kvm_t, KvmCloser>;

struct FakeProcess {
    pid_t pid = 0;
    pid_t ppid = 0;
    std::string name{};  // raw name; status gets it with the kernel's escapes
    uid_t uid = 0;
    std::vector<std::string> arguments{};  // empty: an empty cmdline
    bool kthread = false;
    // Whether status carries the "Kthread:" line of current kernels; without
    // it, only the flags of PID/stat tell a kernel thread.
    bool kthreadLine = true;
    // When it started, in clock ticks after boot (stat only; status has no
    // start time). The same for every process unless a test says otherwise.
    unsigned long long start = 32;
};

// A user process `name` whose argument vector is its name alone, or the
// given one.
FakeProcess process(pid_t pid, pid_t ppid, const std::string& name, uid_t uid = 0);
FakeProcess process(pid_t pid, pid_t ppid, const std::string& name,
                    std::vector<std::string> arguments);

class ProcFixture {
  public:
    ProcFixture();
    ~ProcFixture();
    ProcFixture(const ProcFixture&) = delete;
    ProcFixture& operator=(const ProcFixture&) = delete;

    // Writes PID/status, PID/stat and PID/cmdline.
    void add(const FakeProcess& process);

    // Writes any file below the root, creating its directory.
    void writeFile(const std::string& relativePath, const std::string& content);

    const std::string& root() const { return rootPath; }

    // Opens the kernel-access layer on this directory. The handle belongs
    // to the fixture and is closed with it.
    kvm_t* open();

    // Takes a snapshot of this directory through a handle of its own (see
    // open()). The nodes point into the handle's records and keep `flags` by
    // reference: the table must not outlive the fixture or the flags.
    ProcessTable snapshot(const OptionFlags& flags, pid_t highlightPid = 0);

    // The text of a status file as the kernel writes it.
    static std::string statusText(const FakeProcess& process, bool withKthreadLine = true);

    // The text of a stat file as the kernel writes it; its flags field holds
    // PF_KTHREAD for a kernel thread.
    static std::string statText(const FakeProcess& process);

  private:
    std::string rootPath;
    std::vector<KvmHandle> handles;  // every handle opened on rootPath
};

#include "support/capture_output.h"
