#include "platform/kvm_fields.h"

#include "platform/linux/kvm_handle.h"

void kvmNeedRealUid(kvm_t* kd, bool needed) { kd->needRealUid = needed; }

const char* kvmArgvFailure(kvm_t* kd) { return kd->argumentsFailed ? kd->error : nullptr; }
