#include "support/system/command_name.h"

#include <sys/prctl.h>

// Linux renames a running process: every process of a tree runs the tool
// itself and takes its name after exec.
bool takeCommandName(const std::string& name) { return prctl(PR_SET_NAME, name.c_str()) == 0; }

std::string imageNamed(const std::string& tool, const std::string&) { return tool; }
