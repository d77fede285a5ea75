#include "process/account_lookup.h"

#include <cerrno>

MissingAccount whyNoAccount(int error) {
    switch (error) {
        case 0:
        case ENOENT:
        case ESRCH:
        case EBADF:
        case EPERM:
            return MissingAccount::noEntry;
        default:
            return MissingAccount::lookupFailed;
    }
}
