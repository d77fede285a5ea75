#include "platform/kvm_fields.h"

#include "platform/linux/kvm_handle.h"

RecordSet kvmTakeRecords(kvm_t* kd, const kinfo_proc*, int) {
    RecordSet taken;
    taken.records.swap(kd->records);
    taken.names.takeAll(kd->names);
    return taken;
}

void kvmNeedRealUid(kvm_t* kd, bool needed) { kd->needRealUid = needed; }

std::uint64_t startTimeOf(const kinfo_proc& record) { return record.ki_start; }

char** kvmArguments(kvm_t* kd, const kinfo_proc& record, const char*& failure) {
    char** vector = kvm_getargv(kd, &record, 0);
    failure = vector == nullptr && kd->argumentsFailed ? kd->error : nullptr;
    return vector;
}
