// A directory laid out like /proc, for running the kernel-access layer and
// the process model against processes that exist only in a test.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/option_flags.h"
#include "platform/kvm.h"
#include "process/process_table.h"

// A handle of the kernel-access layer that is closed when it goes.
struct KvmCloser {
    void operator()(kvm_t* kd) const { kvm_close(kd); }
};
using KvmHandle = std::unique_ptr<kvm_t, KvmCloser>;

// The forest of a snapshot taken through `kvm` as a run with `flags` takes
// and builds it, with `highlightPid` marked when the flags ask for it. Throws
// when the snapshot fails. The nodes point into the handle's records.
ProcessTable snapshotForest(kvm_t* kvm, OptionFlags flags, pid_t highlightPid = 0);

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
FakeProcess fakeProcess(pid_t pid, pid_t ppid, const std::string& name, uid_t uid = 0);
FakeProcess fakeProcess(pid_t pid, pid_t ppid, const std::string& name,
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

    // The handle that the last snapshot (or open()) was taken through.
    kvm_t* lastHandle() const { return handles.back().get(); }

    // The forest of a snapshot of this directory, taken through a handle of
    // its own (see open()) as a run with `flags` takes it, with
    // `highlightPid` marked when the flags ask for it. The nodes point into
    // the handle's records: the table must not outlive the fixture.
    ProcessTable snapshot(OptionFlags flags, pid_t highlightPid = 0);

    // The text of a status file as the kernel writes it.
    static std::string statusText(const FakeProcess& process, bool withKthreadLine = true);

    // The text of a stat file as the kernel writes it; its flags field holds
    // PF_KTHREAD for a kernel thread.
    static std::string statText(const FakeProcess& process);

  private:
    std::string rootPath;
    std::vector<KvmHandle> handles;  // every handle opened on rootPath
};
