// The handle of the kernel-access layer over a directory laid out like /proc.
#pragma once

#include <limits.h>

#include <string>
#include <vector>

#include "platform/argument_vector.h"
#include "platform/kvm.h"
#include "platform/linux/record_reader.h"

struct kvm_t {
    std::string directory;  // as opened; named in messages
    int rootFd = -1;
    bool needRealUid = true;  // read status (with the uid) rather than stat
    // Start times beyond the boot clock are unknown (see StartTimeBound):
    // the real /proc only, whose times the clock of this process bounds.
    bool boundStartTimes = false;
    // Threads that read the records of a listing of at least threadedFrom
    // processes; 0: one per CPU the process may use (see record_reader.h).
    unsigned threads = 0;
    std::size_t threadedFrom = defaultThreadedFrom;
    std::vector<pid_t> pids;  // the last listing
    std::vector<kinfo_proc> records;
    NameStore names;                 // the names the records point at
    std::vector<char> argumentText;  // only grows: see readArgumentText
    std::vector<char*> argumentVector;
    // Whether the last kvm_getargv failed for want of a resource; error
    // then says why.
    bool argumentsFailed = false;
    // Whether the text of the last vector went on beyond what was read.
    bool argumentsCut = false;
    char error[_POSIX2_LINE_MAX] = {};
};

// Opens the layer on `directory`, which is read the way /proc is. The program
// opens /proc itself, through kvm_openfiles; tests open fixture directories.
// Without a handle, `errbuf` (_POSIX2_LINE_MAX bytes) holds the reason.
kvm_t* kvmOpenDirectory(const char* directory, char* errbuf);

// kvm_getargv of `record`, read no further than `limit` bytes and, for the
// title alone, than its first string; argumentsCut says whether it was cut.
char** kvmReadArguments(kvm_t* kd, const kinfo_proc& record, std::size_t limit,
                        ArgumentExtent extent);
