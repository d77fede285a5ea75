#include "support/proc_fixture.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>

#include "platform/linux/proc_handle.h"
#include "platform/linux/proc_texts.h"
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

void ProcFixture::add(const MemoryProcess& process) {
    const std::string pid = std::to_string(process.pid);
    writeFile(pid + "/status", statusText(process, process.kthreadLine));
    writeFile(pid + "/stat", statText(process));
    writeFile(pid + "/cmdline", cmdlineText(process));
}

void ProcFixture::writeFile(const std::string& relativePath, const std::string& content) {
    fs::path path = fs::path(rootPath) / relativePath;
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

SourceHandle& ProcFixture::open() {
    sources.push_back(openProcDirectory(rootPath.c_str()));
    return *sources.back();
}

ProcessTable ProcFixture::snapshot(OptionFlags flags, pid_t highlightPid) {
    return snapshotForest(open(), flags, highlightPid);
}

ProcessTable snapshotForest(SourceHandle& source, OptionFlags flags, pid_t highlightPid) {
    const RunOptions options = optionsOf(flags, 0, 0, highlightPid);
    return makeTable([&](const RecordNeeds& needs) { return readProcesses(source, needs); },
                     options.table);
}
