// What the program says when an exception reaches std::terminate.
#pragma once

// The message for the exception being handled, or for none: "out of memory"
// for std::bad_alloc and for a terminate without an exception (the runtime
// calls it so when it cannot even make the exception that says memory ran
// out), otherwise "unexpected failure: " and what the exception tells.
const char* uncaughtFailureMessage();

// Set as the terminate handler: prints uncaughtFailureMessage() and ends the
// process with status 1, on whichever thread the exception escaped.
[[noreturn]] void endOnUncaughtFailure();
