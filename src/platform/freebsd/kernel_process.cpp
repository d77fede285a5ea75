#include "platform/freebsd/kernel_process.h"

bool isKernelProcess(const kinfo_proc& record) {
    return (record.ki_flag & P_KPROC) != 0 || (record.ki_ppid <= 0 && record.ki_pid != 1);
}
