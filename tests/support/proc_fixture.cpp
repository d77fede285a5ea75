#include "support/proc_fixture.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>

#include "platform/linux/kvm_handle.h"
#include "support/options_of.h"

namespace fs = std::filesystem;

namespace {

// A memory file system where there is one: fixtures of tens of thousands of
// small files are made and removed far faster there than on disk.
fs::path fixtureBase() {
    std::error_code error;
    const fs::path memory = "/dev/shm";
    if (fs::is_directory(memory, error) && access(memory.c_str(), W_OK | X_OK) == 0) return memory;
    return fs::temp_directory_path();
}

}  // namespace

ProcFixture::ProcFixture() {
    std::string pattern = (fixtureBase() / "vindle-proc-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    rootPath = pattern;
}

ProcFixture::~ProcFixture() {
    std::error_code ignored;
    fs::permissions(rootPath, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(rootPath, ignored);
}

std::string ProcFixture::statusText(const FakeProcess& process, bool withKthreadLine) {
    std::string name;
    for (char c : process.name) {
        if (c == '\n')
            name += "\\n";
        else if (c == '\\')
            name += "\\\\";
        else
            name += c;
    }
    std::string uid = std::to_string(process.uid);
    std::string text = "Name:\t" + name + "\nUmask:\t0022\nState:\tS (sleeping)\nTgid:\t" +
                       std::to_string(process.pid) + "\nNgid:\t0\nPid:\t" +
                       std::to_string(process.pid) + "\nPPid:\t" + std::to_string(process.ppid) +
                       "\nTracerPid:\t0\nUid:\t" + uid + "\t" + uid + "\t" + uid + "\t" + uid +
                       "\nGid:\t0\t0\t0\t0\nFDSize:\t64\nGroups:\t \n";
    if (withKthreadLine) text += std::string("Kthread:\t") + (process.kthread ? "1" : "0") + "\n";
    text += "Threads:\t1\n";
    return text;
}

std::string ProcFixture::statText(const FakeProcess& process) {
    // PF_RANDOMIZE | PF_FORKNOEXEC, plus PF_KTHREAD for a kernel thread.
    unsigned long flags = 0x00400040ul | (process.kthread ? 0x00200000ul : 0ul);
    std::string pid = std::to_string(process.pid);
    return pid + " (" + process.name + ") S " + std::to_string(process.ppid) + " " + pid + " " +
           pid + " 0 -1 " + std::to_string(flags) + " 0 0 0 0 0 0 0 0 20 0 1 0 " +
           std::to_string(process.start) + " 0 0 18446744073709551615\n";
}

void ProcFixture::add(const FakeProcess& process) {
    std::string pid = std::to_string(process.pid);
    writeFile(pid + "/status", statusText(process, process.kthreadLine));
    writeFile(pid + "/stat", statText(process));
    std::string cmdline;
    for (const std::string& argument : process.arguments) cmdline += argument + '\0';
    writeFile(pid + "/cmdline", cmdline);
}

void ProcFixture::writeFile(const std::string& relativePath, const std::string& content) {
    fs::path path = fs::path(rootPath) / relativePath;
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

kvm_t* ProcFixture::open() {
    char error[_POSIX2_LINE_MAX] = {};
    KvmHandle handle(kvmOpenDirectory(rootPath.c_str(), error));
    if (handle == nullptr) throw std::runtime_error(error);
    handles.push_back(std::move(handle));
    return handles.back().get();
}

ProcessTable ProcFixture::snapshot(OptionFlags flags, pid_t highlightPid) {
    return snapshotForest(open(), flags, highlightPid);
}

ProcessTable snapshotForest(kvm_t* kvm, OptionFlags flags, pid_t highlightPid) {
    const RunOptions options = optionsOf(flags);
    Outcome<Snapshot> taken = takeSnapshot(kvm, options.table);
    if (!taken.ok()) throw std::runtime_error(taken.error());
    ProcessTable table = buildForest(std::move(taken.value()), options.table);
    if (options.highlightPid) table.markHighlight(highlightPid);
    return table;
}

FakeProcess fakeProcess(pid_t pid, pid_t ppid, const std::string& name, uid_t uid) {
    return {.pid = pid, .ppid = ppid, .name = name, .uid = uid, .arguments = {name}};
}

FakeProcess fakeProcess(pid_t pid, pid_t ppid, const std::string& name,
                        std::vector<std::string> arguments) {
    return {.pid = pid, .ppid = ppid, .name = name, .arguments = std::move(arguments)};
}
