// Steps that a child takes between fork and exec when a test runs a program
// in a particular environment; each uses only calls that are safe there.
#pragma once

// Puts the calling process in a mount namespace of its own, with a new proc
// filesystem mounted on /proc with `options` (e.g. "hidepid=1"). False
// (errno set) when that cannot be done, which on a system without such
// namespaces is always.
bool enterPrivateProc(const char* options);

// Marks every descriptor from `lowest` up as closed on exec.
void closeOnExecFrom(unsigned int lowest);
