#include "platform/system_process.h"

bool isSystemProcess(const kinfo_proc& record) {
    if ((record.ki_flag & P_SYSTEM) != 0) return true;
#if defined(__FreeBSD__)
    return record.ki_ppid <= 0 && record.ki_pid != 1;
#else
    return false;
#endif
}
