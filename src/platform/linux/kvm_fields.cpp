#include "platform/kvm_fields.h"

#include "platform/linux/kvm_handle.h"
#include "platform/linux/proc_arguments.h"

RecordSet kvmTakeRecords(kvm_t* kd, const kinfo_proc*, int) {
    RecordSet taken;
    taken.records.swap(kd->records);
    taken.names.takeAll(kd->names);
    return taken;
}

void kvmNeedRealUid(kvm_t* kd, bool needed) { kd->needRealUid = needed; }

std::uint64_t startTimeOf(const kinfo_proc& record) { return record.ki_start; }

ArgumentVector kvmArguments(kvm_t* kd, const kinfo_proc& record, ArgumentExtent extent,
                            const char*& failure) {
    char** words = kvmReadArguments(kd, record, argumentBound, extent);
    failure = words == nullptr && kd->argumentsFailed ? kd->error : nullptr;
    return {.words = words, .cut = words != nullptr && kd->argumentsCut};
}
