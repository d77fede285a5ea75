// What a password-database lookup that found no entry means.
#pragma once

#include <cstdint>

enum class MissingAccount : std::uint8_t {
    noEntry,       // the database has no such user
    lookupFailed,  // the database could not be read; errno says why
};

// Why getpwnam or getpwuid gave no entry, by the errno they left (set to 0
// before the call). POSIX lets them report a name or id that simply has no
// entry with ENOENT, ESRCH, EBADF or EPERM as well as with 0, and glibc's
// database modules do so (ENOENT when a database file is missing): those
// mean no entry. Any other error is a failed lookup.
MissingAccount whyNoAccount(int error);
