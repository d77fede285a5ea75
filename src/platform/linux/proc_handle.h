// The open process table over a directory laid out like /proc.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/linux/record_reader.h"
#include "platform/process_source.h"

struct SourceHandle {
    std::string directory;  // as opened; named in messages
    int rootFd = -1;
    // Start times beyond the boot clock are unknown (see StartTimeBound):
    // the real /proc only, whose times the clock of this process bounds.
    bool boundStartTimes = false;
    // Threads that read the records of a listing of at least threadedFrom
    // processes; 0: one per CPU the process may use (see record_reader.h).
    unsigned threads = 0;
    std::size_t threadedFrom = defaultThreadedFrom;
    // The last argument vector read, and the text it points into (which
    // only grows: see readArgumentText).
    std::vector<char> argumentText;
    std::vector<char*> argumentVector;
};

// Opens the table on `directory`, which is read the way /proc is, as it is:
// the program opens /proc through openProcessSource, which checks that it is
// a proc filesystem; tests open fixture directories here.
ProcessSource openProcDirectory(const char* directory);
