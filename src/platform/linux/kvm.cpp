// The kernel-memory access operations over /proc.
#include "platform/kvm.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/kvm_handle.h"
#include "platform/linux/proc_arguments.h"
#include "platform/linux/proc_mount.h"
#include "platform/linux/proc_stat.h"
#include "platform/linux/proc_status.h"

namespace {

// Enough for every status text the kernel writes today (about 1.5 KiB).
constexpr std::size_t statusBufferSize = 4096;

// Reads what fits of `path` below the directory `dirFd` into `buffer`;
// returns the byte count, or -1 when the file cannot be opened or read.
// The kernel hands out a whole per-process text at once when it fits, so a
// read shorter than asked is the end: that spares one read per process.
ssize_t readFile(int dirFd, const char* path, char* buffer, std::size_t size) {
    int fd = openat(dirFd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    std::size_t total = 0;
    while (total < size) {
        ssize_t n = read(fd, buffer + total, size - total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) total = static_cast<std::size_t>(-1);
            break;
        }
        const bool shortRead = static_cast<std::size_t>(n) < size - total;
        total += static_cast<std::size_t>(n);
        if (shortRead) break;
    }
    close(fd);
    return static_cast<ssize_t>(total);
}

// Reads the whole of `path` below `dirFd` into `text`, through `scratch`,
// which only ever grows: a fresh buffer for every process would be filled
// with zeros first, at a cost far above that of the few bytes read.
bool readWholeFile(int dirFd, const char* path, std::vector<char>& scratch,
                   std::vector<char>& text) {
    int fd = openat(dirFd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    if (scratch.size() < 4096) scratch.resize(4096);
    std::size_t used = 0;
    bool ok = true;
    for (;;) {
        if (used == scratch.size()) scratch.resize(2 * scratch.size());
        const std::size_t room = scratch.size() - used;
        ssize_t n = read(fd, scratch.data() + used, room);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        used += static_cast<std::size_t>(n);
        if (static_cast<std::size_t>(n) < room) break;  // a short read is the end, as above
    }
    close(fd);
    text.assign(scratch.data(), scratch.data() + (ok ? used : 0));
    return ok;
}

// "PID/FILE" for the /proc entry of `pid`, without the cost of a format.
struct EntryPath {
    EntryPath(std::string_view pid, std::string_view file) {
        if (pid.size() + 1 + file.size() >= sizeof text) return;  // stays empty: opens nothing
        char* end = std::copy(pid.begin(), pid.end(), text);
        *end++ = '/';
        *std::copy(file.begin(), file.end(), end) = '\0';
    }
    EntryPath(pid_t pid, std::string_view file) {
        char digits[16];
        auto [end, ec] = std::to_chars(digits, digits + sizeof digits, pid);
        const auto length = static_cast<std::size_t>(end - digits);
        if (ec == std::errc{}) *this = EntryPath(std::string_view(digits, length), file);
    }
    char text[64] = {};
};

bool parsePid(const char* text, pid_t& pid) {
    const char* end = text + std::strlen(text);
    auto [stop, ec] = std::from_chars(text, end, pid);
    return ec == std::errc{} && stop == end && pid > 0;
}

}  // namespace

namespace {

// The record of one process from its stat text (no uid) or its status
// text; false when the process is gone or its text cannot be read or
// understood.
bool readFromStat(int rootFd, const char* pidText, kinfo_proc& record) {
    char text[statusBufferSize];
    ssize_t n = readFile(rootFd, EntryPath(pidText, "stat").text, text, sizeof text);
    return n > 0 && parseStat(std::string_view(text, static_cast<std::size_t>(n)), record);
}

bool readFromStatus(int rootFd, const char* pidText, kinfo_proc& record) {
    char text[statusBufferSize];
    ssize_t n = readFile(rootFd, EntryPath(pidText, "status").text, text, sizeof text);
    if (n <= 0) return false;
    StatusFields fields = parseStatus(std::string_view(text, static_cast<std::size_t>(n)), record);
    if (!isComplete(fields)) return false;
    if (fields.hasKthread) return true;
    // Kernels without the "Kthread:" line: the mark comes from stat.
    kinfo_proc fromStat{};
    if (!readFromStat(rootFd, pidText, fromStat)) return false;
    record.ki_flag |= fromStat.ki_flag & P_SYSTEM;
    return true;
}

bool readRecord(const kvm_t& kd, const char* pidText, pid_t pid, kinfo_proc& record) {
    record = kinfo_proc{};
    record.ki_pid = pid;
    return kd.needRealUid ? readFromStatus(kd.rootFd, pidText, record)
                          : readFromStat(kd.rootFd, pidText, record);
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
    return kd;
}

struct kinfo_proc* kvm_getprocs(kvm_t* kd, int op, int, int* count) {
    if (op != KERN_PROC_PROC) {
        std::snprintf(kd->error, sizeof kd->error, "unsupported process selection %d", op);
        return nullptr;
    }
    int listFd = dup(kd->rootFd);
    DIR* dir = listFd < 0 ? nullptr : fdopendir(listFd);
    if (dir == nullptr) {
        std::snprintf(kd->error, sizeof kd->error, "%s: %s", kd->directory.c_str(),
                      std::strerror(errno));
        if (listFd >= 0) close(listFd);
        return nullptr;
    }
    // The listing shares its offset with the handle's descriptor: start
    // from the top, or a second snapshot of the handle would list nothing.
    rewinddir(dir);
    kd->records.clear();
    kd->records.reserve(512);  // also keeps data() non-null for an empty table
    errno = 0;
    while (dirent* entry = readdir(dir)) {
        pid_t pid = 0;
        kinfo_proc record;
        if (parsePid(entry->d_name, pid) && readRecord(*kd, entry->d_name, pid, record))
            kd->records.push_back(record);
        errno = 0;
    }
    int listError = errno;
    closedir(dir);
    if (listError != 0) {
        std::snprintf(kd->error, sizeof kd->error, "%s: %s", kd->directory.c_str(),
                      std::strerror(listError));
        return nullptr;
    }
    *count = static_cast<int>(kd->records.size());
    return kd->records.data();
}

char* kvm_geterr(kvm_t* kd) { return kd->error; }

int kvm_close(kvm_t* kd) {
    int result = close(kd->rootFd);
    delete kd;
    return result;
}

char** kvm_getargv(kvm_t* kd, const struct kinfo_proc* record, int) {
    const EntryPath path(record->ki_pid, "cmdline");
    if (!readWholeFile(kd->rootFd, path.text, kd->readBuffer, kd->argumentText)) return nullptr;
    splitArguments(kd->argumentText, kd->argumentVector);
    return kd->argumentVector.empty() ? nullptr : kd->argumentVector.data();
}
