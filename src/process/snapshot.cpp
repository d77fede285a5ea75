#include "process/snapshot.h"

#include <fcntl.h>

#include <climits>
#include <cstddef>

#include "platform/kvm_fields.h"

Outcome<kvm_t*> openKernel() {
    char error[_POSIX2_LINE_MAX] = {};
    kvm_t* handle = kvm_openfiles(nullptr, "/dev/null", nullptr, O_RDONLY, error);
    if (handle == nullptr) return Outcome<kvm_t*>::failure(error);
    return handle;
}

Outcome<Snapshot> takeSnapshot(kvm_t* kvm, const TableOptions& options) {
    kvmNeedRealUid(kvm, options.realUid);
    int count = 0;
    const kinfo_proc* records = kvm_getprocs(kvm, KERN_PROC_PROC, 0, &count);
    if (records == nullptr) return Outcome<Snapshot>::failure(kvm_geterr(kvm));
    return kvmTakeRecords(kvm, records, count);
}
