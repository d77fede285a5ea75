#include "platform/kvm_fields.h"

#include <cerrno>
#include <cstring>

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
// of its failures only a lack of memory is not the process's own doing.
char** kvmArguments(kvm_t* kd, const kinfo_proc& record, const char*& failure) {
    errno = 0;
    char** vector = kvm_getargv(kd, &record, 0);
    failure = vector == nullptr && errno == ENOMEM ? std::strerror(ENOMEM) : nullptr;
    return vector;
}
