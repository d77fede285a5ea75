#include "platform/kvm_fields.h"

#include <cerrno>
#include <cstddef>
#include <cstring>

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

}  // namespace

// The system's records stay with the handle until it is closed: copied.
RecordSet kvmTakeRecords(kvm_t*, const kinfo_proc* records, int count) {
    return {std::vector<kinfo_proc>(records, records + count)};
}

void kvmNeedRealUid(kvm_t*, bool) {}

std::uint64_t startTimeOf(const kinfo_proc& record) {
    if (record.ki_start.tv_sec < 0) return 0;
    return static_cast<std::uint64_t>(record.ki_start.tv_sec) * 1000000u +
           static_cast<std::uint64_t>(record.ki_start.tv_usec);
}

// The system's kvm_getargv reads through sysctl, which needs no descriptor;
// of its failures only a lack of memory is not the process's own doing. One
// call gives the whole text, so the title costs what all of it does.
ArgumentVector kvmArguments(kvm_t* kd, const kinfo_proc& record, ArgumentExtent,
                            const char*& failure) {
    errno = 0;
    char** words = kvm_getargv(kd, &record, 0);
    failure = words == nullptr && errno == ENOMEM ? std::strerror(ENOMEM) : nullptr;
    return {.words = words, .cut = words != nullptr && fillsTheRead(words)};
}
