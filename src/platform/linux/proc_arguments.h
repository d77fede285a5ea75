// Reading /proc/PID/cmdline, and splitting its text into an argument vector.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/argument_vector.h"

// The most bytes of an argument text that are read: what execve could have
// passed on this system, 6 MiB.
//
// Linux takes arguments and environment together up to a quarter of the
// stack limit of the process that calls execve, and never more than three
// quarters of its 8 MiB stack default, 6 MiB, however high that limit is.
// sysconf(_SC_ARG_MAX) would give the quarter of vindle's own stack limit,
// which says nothing about the limit other processes were started under: a
// run under a small stack would cut arguments that a real execve passed. A
// process may point its argument memory at a mapping of any size (prctl
// PR_SET_MM), and its text is read no further than this.
inline constexpr std::size_t argumentBound = 6 * 1024 * 1024;

// Where a read of an argument text ended.
struct ArgumentText {
    std::size_t length = 0;  // the bytes read, at the start of the buffer
    bool cut = false;        // the text went on beyond them
};

// Reads the argument text of the open file `fd` into `buffer`: with `extent`
// title up to and including its first NUL (the text may end before), and at
// most `limit` bytes in any case; a text that goes on beyond them is cut.
// The buffer is only ever grown, to at most `limit` + 2 bytes, never
// cleared (a fresh buffer for every process would be filled with zeros
// first, at a cost far above that of the few bytes read), and keeps one
// byte beyond the text for the NUL that splitArguments may add. False, with
// errno set, when the file cannot be read.
bool readArgumentText(int fd, std::size_t limit, ArgumentExtent extent, std::vector<char>& buffer,
                      ArgumentText& text);

// Turns the first `length` bytes of `buffer` (the NUL-separated arguments
// the kernel reported) into a null-terminated vector of pointers into it;
// the buffer must hold at least one byte more. An empty text gives an empty
// vector: the process has no argument vector.
//
// A process may have rewritten its argument memory as a title: the title (and
// any arguments it keeps) followed by NULs up to the old length, or, when the
// last byte of the memory is no longer NUL, one string that the kernel
// reports without a NUL at its end. So a text that does not end in a NUL gets
// one appended, and a trailing run of empty strings is taken as padding and
// left out; the first string always stays, empty or not. Empty arguments
// between others stay as they are. A process that really ends its arguments
// with empty ones (`cmd x ""`) cannot be told from a padded title, and shows
// without them.
void splitArguments(std::vector<char>& buffer, std::size_t length, std::vector<char*>& argv);

// Drops the words of `argv` (as splitArguments made it) beyond those that
// execve could have passed within `limit` bytes: it counts a NUL and a
// pointer for each word, so at most `limit` / 9 words, however short. The
// first word, the title, always stays. True when it dropped any.
bool keepWordsExecveCouldPass(std::vector<char*>& argv, std::size_t limit);
