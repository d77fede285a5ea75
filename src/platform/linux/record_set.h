// The records of a snapshot and the names they point at, owned together and
// apart from the handle.
#pragma once

#include <vector>

#include "platform/kvm.h"
#include "platform/linux/name_store.h"

struct RecordSet {
    std::vector<kinfo_proc> records;
    NameStore names;
};
