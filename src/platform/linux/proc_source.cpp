// The process table read over /proc.
#include <dirent.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/linux/entry_path.h"
#include "platform/linux/plain_io.h"
#include "platform/linux/proc_arguments.h"
#include "platform/linux/proc_handle.h"
#include "platform/linux/proc_mount.h"
#include "platform/linux/record_reader.h"
#include "platform/process_source.h"

namespace {

// "DIRECTORY/PATH: reason".
Failure failureOf(const SourceHandle& source, const std::string& path, int error) {
    return {source.directory + "/" + path + ": " + std::strerror(error)};
}

bool parsePid(const char* text, pid_t& pid) {
    const char* end = text + std::strlen(text);
    auto [stop, ec] = std::from_chars(text, end, pid);
    return ec == std::errc{} && stop == end && pid > 0;
}

// Closes a listing on every path out, a thrown bad_alloc among them.
struct ListingCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// The pids of the processes of the source's directory.
std::vector<pid_t> listProcesses(const SourceHandle& source) {
    const int listFd = dup(source.rootFd);
    DIR* const opened = listFd < 0 ? nullptr : fdopendir(listFd);
    if (opened == nullptr) {
        const int error = errno;
        if (listFd >= 0) close(listFd);
        throw Failure{source.directory + ": " + std::strerror(error)};
    }
    const std::unique_ptr<DIR, ListingCloser> dir(opened);
    // The listing shares its offset with the source's descriptor: start
    // from the top, or a second read of the source would list nothing.
    rewinddir(dir.get());
    std::vector<pid_t> pids;
    errno = 0;
    while (dirent* entry = readdir(dir.get())) {
        pid_t pid = 0;
        if (parsePid(entry->d_name, pid)) pids.push_back(pid);
        errno = 0;
    }
    if (errno != 0) throw Failure{source.directory + ": " + std::strerror(errno)};
    return pids;
}

}  // namespace

// The real /proc must be a proc filesystem: an empty directory or another
// filesystem mounted over it is a failure to open the process table, not a
// machine without processes. A fixture directory is taken as it is.
ProcessSource openProcessSource() {
    ProcessSource source = openProcDirectory("/proc");
    char error[_POSIX2_LINE_MAX] = {};
    if (!isProcFilesystem(source->rootFd, "/proc", error)) throw Failure{error};
    source->boundStartTimes = true;
    return source;
}

ProcessSnapshot readProcesses(SourceHandle& source, const RecordNeeds& needs) {
    const std::vector<pid_t> pids = listProcesses(source);
    const RecordSource from{.rootFd = source.rootFd,
                            .realUid = needs.realUid,
                            .startClock = source.boundStartTimes ? ticksSinceBoot : nullptr};
    const unsigned threads = readerThreads(pids.size(), source.threads, source.threadedFrom);
    ProcessSnapshot snapshot;
    const ReadFailure failure = readRecords(from, pids, threads, snapshot.records, snapshot.names);
    switch (failure.cause) {
        case ReadFailure::Cause::none:
            break;
        case ReadFailure::Cause::memory:
            throw std::bad_alloc();
        case ReadFailure::Cause::process:
            throw failureOf(source, std::to_string(failure.pid), failure.error);
    }
    // No machine runs without processes (the reader is one of them): a
    // directory that lists none is no process table, even when it is a
    // proc filesystem (/proc/sys bound over /proc), and an empty forest
    // printed from it would hide that.
    if (snapshot.records.empty()) throw Failure{source.directory + " lists no processes"};
    return snapshot;
}

namespace {

// Reads the argument text of `path` (below the source's directory) into the
// source's buffer; false, with errno set, when it cannot be read.
bool readArgumentFile(SourceHandle& source, const char* path, ArgumentExtent extent,
                      ArgumentText& text) {
    const OpenFile file(source.rootFd, path);
    return file.isOpen() &&
           readArgumentText(file.descriptor(), argumentBound, extent, source.argumentText, text);
}

// Splits the text read into the source's vector: the title alone when only
// that was asked for, and no more words than execve could have passed.
// Whether the vector was cut.
bool makeVector(SourceHandle& source, const ArgumentText& text, ArgumentExtent extent) {
    std::vector<char*>& words = source.argumentVector;
    splitArguments(source.argumentText, text.length, words);
    // A title read ends somewhere after its NUL: the words after it are
    // not whole.
    if (extent == ArgumentExtent::title && words.size() > 2) {
        words.resize(1);
        words.push_back(nullptr);
    }
    const bool dropped = keepWordsExecveCouldPass(words, argumentBound);
    return text.cut || dropped;
}

}  // namespace

ArgumentVector readArguments(SourceHandle& source, pid_t pid, ArgumentExtent extent) {
    const EntryPath path(pid, "cmdline");
    // A failure that is not the process's own doing may pass (another
    // process may have given back descriptors or memory): one more try.
    ArgumentText text;
    bool read = readArgumentFile(source, path.text, extent, text);
    if (!read && !leavesProcessOut(errno)) read = readArgumentFile(source, path.text, extent, text);
    if (!read) {
        const int error = errno;
        if (leavesProcessOut(error)) return {};
        throw failureOf(source, path.text, error);
    }
    const bool cut = makeVector(source, text, extent);
    if (source.argumentVector.empty()) return {};
    return {.words = source.argumentVector.data(), .cut = cut};
}
