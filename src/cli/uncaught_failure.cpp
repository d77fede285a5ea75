#include "cli/uncaught_failure.h"

#include <err.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <new>

const char* uncaughtFailureMessage() {
    const std::exception_ptr current = std::current_exception();
    if (!current) return "unexpected failure: terminate called without an active exception";
    // A fixed buffer: this may run with no memory to be had.
    static char message[256];
    try {
        std::rethrow_exception(current);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const std::exception& failure) {
        std::snprintf(message, sizeof message, "unexpected failure: %s", failure.what());
    } catch (...) {
        return "unexpected failure";
    }
    return message;
}

void endOnUncaughtFailure() {
    warnx("%s", uncaughtFailureMessage());
    _exit(1);
}
