// How the processes that the tests start are tied to the test's own life, so
// that none of them outlives a test that crashes. Each system's directory of
// tests/support/ implements these with its own calls.
#pragma once

// The calling process is killed when its parent dies. Safe between fork and
// exec; the setting does not survive exec on every system, so a program that
// needs it sets it again after exec.
void dieWithParent();

// Orphans among the calling process's descendants become its children
// instead of init's, so that it can reap them at once.
void adoptOrphans();

// A change of user may clear what dieWithParent set, and the right of the
// user's peers to read the process; this sets both again.
void restoreAfterUserSwitch();
