// A question answered in a short-lived child process, so that whatever goes
// wrong while it is answered (a library that overruns its heap on hostile
// input, a crash, a hang) cannot harm this process's memory.
#pragma once

#include <functional>
#include <optional>
#include <string>

// Forks a child that calls `question` and hands its answer back through a
// pipe, then ends at once. The answer, or none when no child could be had
// (no descriptor or process to spare), when the child died or failed, or
// when it said more than `limit` bytes or took longer than `seconds` (it is
// then killed). The child is always reaped. The child writes no core file
// and its standard error goes nowhere. Call it only while this process has
// one thread: the child inherits no other.
std::optional<std::string> askInChild(const std::function<std::string()>& question,
                                      std::size_t limit, int seconds);
