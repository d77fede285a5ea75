// Telling a mounted proc filesystem from a plain directory.
#pragma once

// True when the directory open on `fd` is a proc filesystem (mount options
// such as hidepid= or subset=pid do not change that). Otherwise writes the
// reason, naming `directory`, into `errbuf` (_POSIX2_LINE_MAX bytes): an
// empty directory or another filesystem mounted there would read as a
// machine without processes.
bool isProcFilesystem(int fd, const char* directory, char* errbuf);
