// The process table read through FreeBSD's kernel-memory access library.
// Each record the library gives is turned into vindle's own as it is read;
// none is kept.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "platform/failure.h"
#include "platform/freebsd/kernel_process.h"
#include "platform/freebsd/kvm_headers.h"
#include "platform/process_source.h"

struct SourceHandle {
    kvm_t* kd = nullptr;
};

namespace {

// kvm_getargv reads at most ARG_MAX bytes (when asked for no limit, as here)
// and ends a text that fills them with a NUL in the last byte: a vector
// whose strings take all ARG_MAX bytes was cut there. A process whose own
// arguments fill exactly ARG_MAX (an empty environment and not one byte to
// spare) cannot be told from that.
bool fillsTheRead(char** words) {
    std::size_t bytes = 0;
    for (char** word = words; *word != nullptr; ++word) bytes += std::strlen(*word) + 1;
    return bytes >= static_cast<std::size_t>(ARG_MAX);
}

// Microseconds of the system's clock; 0 (unknown) before the epoch.
std::uint64_t startOf(const kinfo_proc& record) {
    if (record.ki_start.tv_sec < 0) return 0;
    return static_cast<std::uint64_t>(record.ki_start.tv_sec) * 1000000u +
           static_cast<std::uint64_t>(record.ki_start.tv_usec);
}

ProcessRecord recordOf(const kinfo_proc& record, NameStore& names) {
    return {.pid = record.ki_pid,
            .ppid = record.ki_ppid,
            .realUid = record.ki_ruid,
            .kernel = isKernelProcess(record),
            .name = names.keep(record.ki_comm),
            .start = startOf(record)};
}

}  // namespace

ProcessSource openProcessSource() {
    char error[_POSIX2_LINE_MAX] = {};
    kvm_t* kd = kvm_openfiles(nullptr, "/dev/null", nullptr, O_RDONLY, error);
    if (kd == nullptr) throw Failure{error};
    try {
        return ProcessSource(new SourceHandle{kd});
    } catch (const std::bad_alloc&) {
        kvm_close(kd);
        throw;
    }
}

void closeSource(SourceHandle* source) {
    kvm_close(source->kd);
    delete source;
}

// The system's records carry every member whatever the run needs.
ProcessSnapshot readProcesses(SourceHandle& source, const RecordNeeds&) {
    int count = 0;
    const kinfo_proc* records = kvm_getprocs(source.kd, KERN_PROC_PROC, 0, &count);
    if (records == nullptr) throw Failure{kvm_geterr(source.kd)};
    ProcessSnapshot snapshot;
    snapshot.records.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        snapshot.records.push_back(recordOf(records[i], snapshot.names));
    return snapshot;
}

// The library takes a record but reads only its pid, which it asks the
// kernel for the arguments of (sysctl kern.proc.args); that needs no
// descriptor, and of its failures only a lack of memory is not the
// process's own doing. One call gives the whole text, so the title costs
// what all of it does.
ArgumentVector readArguments(SourceHandle& source, pid_t pid, ArgumentExtent) {
    kinfo_proc asked{};
    asked.ki_pid = pid;
    errno = 0;
    char** words = kvm_getargv(source.kd, &asked, 0);
    if (words == nullptr && errno == ENOMEM) throw Failure{std::strerror(ENOMEM)};
    return {.words = words, .cut = words != nullptr && fillsTheRead(words)};
}
