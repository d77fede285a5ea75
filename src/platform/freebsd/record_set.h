// The records of a snapshot, owned apart from the handle. The system's
// records hold their names.
#pragma once

#include <vector>

#include "platform/kvm.h"

struct RecordSet {
    std::vector<kinfo_proc> records;
};
