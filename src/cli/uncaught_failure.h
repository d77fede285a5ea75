// What the program says when an exception reaches std::terminate.
#pragma once

// The message for the exception being handled, or for none: "out of memory"
// for std::bad_alloc, otherwise "unexpected failure: " and what the exception
// tells. A terminate without an exception may come from anywhere (a thread
// destroyed while joinable, a noexcept function that threw and caught
// nothing, the runtime itself): it is an unexpected failure too, since
// nothing says that memory ran out.
const char* uncaughtFailureMessage();

// Set as the terminate handler: prints uncaughtFailureMessage() and ends the
// process with status 1, on whichever thread the exception escaped.
[[noreturn]] void endOnUncaughtFailure();
