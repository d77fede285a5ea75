// The kernel-memory access operations over /proc.
#include "platform/kvm.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/entry_path.h"
#include "platform/linux/kvm_handle.h"
#include "platform/linux/plain_io.h"
#include "platform/linux/proc_arguments.h"
#include "platform/linux/proc_mount.h"
#include "platform/linux/record_reader.h"

namespace {

// Sets the handle's message to "DIRECTORY/PATH: reason".
void setError(kvm_t* kd, const char* path, int error) {
    std::snprintf(kd->error, sizeof kd->error, "%s/%s: %s", kd->directory.c_str(), path,
                  std::strerror(error));
}

constexpr char outOfMemory[] = "out of memory";

bool parsePid(const char* text, pid_t& pid) {
    const char* end = text + std::strlen(text);
    auto [stop, ec] = std::from_chars(text, end, pid);
    return ec == std::errc{} && stop == end && pid > 0;
}

}  // namespace

// The real /proc must be a proc filesystem: an empty directory or another
// filesystem mounted over it is a failure to open the process table, not a
// machine without processes. A fixture directory is taken as it is.
kvm_t* kvm_openfiles(const char*, const char*, const char*, int, char* errbuf) {
    kvm_t* kd = kvmOpenDirectory("/proc", errbuf);
    if (kd != nullptr && !isProcFilesystem(kd->rootFd, "/proc", errbuf)) {
        kvm_close(kd);
        return nullptr;
    }
    if (kd != nullptr) kd->boundStartTimes = true;
    return kd;
}

namespace {

// Lists the processes of the handle's directory into kd->pids; false, with
// the handle's message set, when the listing fails.
bool listProcesses(kvm_t* kd) {
    int listFd = dup(kd->rootFd);
    DIR* dir = listFd < 0 ? nullptr : fdopendir(listFd);
    if (dir == nullptr) {
        std::snprintf(kd->error, sizeof kd->error, "%s: %s", kd->directory.c_str(),
                      std::strerror(errno));
        if (listFd >= 0) close(listFd);
        return false;
    }
    // The listing shares its offset with the handle's descriptor: start
    // from the top, or a second snapshot of the handle would list nothing.
    rewinddir(dir);
    kd->pids.clear();
    errno = 0;
    try {
        while (dirent* entry = readdir(dir)) {
            pid_t pid = 0;
            if (parsePid(entry->d_name, pid)) kd->pids.push_back(pid);
            errno = 0;
        }
    } catch (...) {
        closedir(dir);
        throw;
    }
    int listError = errno;
    closedir(dir);
    if (listError != 0) {
        std::snprintf(kd->error, sizeof kd->error, "%s: %s", kd->directory.c_str(),
                      std::strerror(listError));
        return false;
    }
    return true;
}

// The snapshot; null, with the handle's message set, when the table cannot
// be read whole or holds no process.
kinfo_proc* readTable(kvm_t* kd, int* count) {
    if (!listProcesses(kd)) return nullptr;
    const RecordSource source{.rootFd = kd->rootFd,
                              .realUid = kd->needRealUid,
                              .startClock = kd->boundStartTimes ? ticksSinceBoot : nullptr};
    const unsigned threads = readerThreads(kd->pids.size(), kd->threads, kd->threadedFrom);
    const ReadFailure failure = readRecords(source, kd->pids, threads, kd->records, kd->names);
    std::vector<pid_t>().swap(kd->pids);  // not needed again: give the memory back
    switch (failure.cause) {
        case ReadFailure::Cause::none:
            break;
        case ReadFailure::Cause::memory:
            std::snprintf(kd->error, sizeof kd->error, "%s", outOfMemory);
            return nullptr;
        case ReadFailure::Cause::process:
            setError(kd, std::to_string(failure.pid).c_str(), failure.error);
            return nullptr;
    }
    // No machine runs without processes (the reader is one of them): a
    // directory that lists none is no process table, even when it is a
    // proc filesystem (/proc/sys bound over /proc), and an empty forest
    // printed from it would hide that.
    if (kd->records.empty()) {
        std::snprintf(kd->error, sizeof kd->error, "%s lists no processes", kd->directory.c_str());
        return nullptr;
    }
    *count = static_cast<int>(kd->records.size());
    return kd->records.data();
}

}  // namespace

struct kinfo_proc* kvm_getprocs(kvm_t* kd, int op, int, int* count) {
    if (op != KERN_PROC_PROC) {
        std::snprintf(kd->error, sizeof kd->error, "unsupported process selection %d", op);
        return nullptr;
    }
    try {
        return readTable(kd, count);
    } catch (const std::bad_alloc&) {
        std::snprintf(kd->error, sizeof kd->error, "%s", outOfMemory);
        return nullptr;
    }
}

char* kvm_geterr(kvm_t* kd) { return kd->error; }

int kvm_close(kvm_t* kd) {
    int result = close(kd->rootFd);
    delete kd;
    return result;
}

namespace {

// Reads the argument text of `path` (below the handle's directory) into the
// handle's buffer; false, with errno set, when it cannot be read.
bool readArguments(kvm_t* kd, const char* path, std::size_t limit, ArgumentExtent extent,
                   ArgumentText& text) {
    const OpenFile file(kd->rootFd, path);
    return file.isOpen() &&
           readArgumentText(file.descriptor(), limit, extent, kd->argumentText, text);
}

// Splits the text read into the handle's vector: the title alone when only
// that was asked for, and no more words than execve could have passed.
void makeVector(kvm_t* kd, const ArgumentText& text, std::size_t limit, ArgumentExtent extent) {
    std::vector<char*>& words = kd->argumentVector;
    splitArguments(kd->argumentText, text.length, words);
    // A title read ends somewhere after its NUL: the words after it are
    // not whole.
    if (extent == ArgumentExtent::title && words.size() > 2) {
        words.resize(1);
        words.push_back(nullptr);
    }
    const bool dropped = keepWordsExecveCouldPass(words, limit);
    kd->argumentsCut = text.cut || dropped;
}

}  // namespace

char** kvmReadArguments(kvm_t* kd, const kinfo_proc& record, std::size_t limit,
                        ArgumentExtent extent) {
    kd->argumentsFailed = false;
    kd->argumentsCut = false;
    const EntryPath path(record.ki_pid, "cmdline");
    try {
        // A failure that is not the process's own doing may pass (another
        // process may have given back descriptors or memory): one more try.
        ArgumentText text;
        bool read = readArguments(kd, path.text, limit, extent, text);
        if (!read && !leavesProcessOut(errno))
            read = readArguments(kd, path.text, limit, extent, text);
        if (!read) {
            const int error = errno;
            kd->argumentsFailed = !leavesProcessOut(error);
            if (kd->argumentsFailed) setError(kd, path.text, error);
            errno = error;
            return nullptr;
        }
        makeVector(kd, text, limit, extent);
    } catch (const std::bad_alloc&) {
        kd->argumentsFailed = true;
        std::snprintf(kd->error, sizeof kd->error, "%s", outOfMemory);
        return nullptr;
    }
    return kd->argumentVector.empty() ? nullptr : kd->argumentVector.data();
}

// As FreeBSD's: at most `nchr` bytes, and no more than the bound when it is
// 0 or above it.
char** kvm_getargv(kvm_t* kd, const struct kinfo_proc* record, int nchr) {
    const std::size_t limit =
        nchr > 0 ? std::min(static_cast<std::size_t>(nchr), argumentBound) : argumentBound;
    return kvmReadArguments(kd, *record, limit, ArgumentExtent::all);
}
