#include "platform/system_process.h"

bool isSystemProcess(const kinfo_proc& record) { return (record.ki_flag & P_SYSTEM) != 0; }
