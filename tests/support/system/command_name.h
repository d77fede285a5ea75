// The command name a process of a spawned tree runs under: what the kernel
// reports as its name, apart from its argument vector.
#pragma once

#include <string>

// Sets the calling process's command name to `name`, or, where names cannot
// change after exec, checks that it already is `name`. False (errno set)
// when the process does not end up with that name.
bool takeCommandName(const std::string& name);

// The file to exec `tool` through so that the new process starts under the
// command name `name` (or can take it with takeCommandName). Throws
// std::invalid_argument for a name the system cannot give that way.
std::string imageNamed(const std::string& tool, const std::string& name);
