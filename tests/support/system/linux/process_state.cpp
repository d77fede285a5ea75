#include "support/system/process_state.h"

#include <fstream>
#include <sstream>

namespace {

std::optional<std::string> procFile(pid_t pid, const char* file) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The first number after `key` at the start of a line of /proc/PID/status.
template <typename Number>
Number statusNumber(const std::string& status, const std::string& key) {
    std::istringstream lines(status);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(key, 0) == 0)
            return static_cast<Number>(std::stoul(line.substr(key.size())));
    return static_cast<Number>(~0u);
}

}  // namespace

std::optional<ProcessState> processState(pid_t pid) {
    const std::optional<std::string> stat = procFile(pid, "stat");
    const std::optional<std::string> status = procFile(pid, "status");
    const std::optional<std::string> comm = procFile(pid, "comm");
    const std::optional<std::string> cmdline = procFile(pid, "cmdline");
    const std::size_t nameEnd = stat ? stat->rfind(')') : std::string::npos;
    if (!status || !comm || !cmdline || nameEnd == std::string::npos) return std::nullopt;
    ProcessState state;
    // After the name: the state letter, the parent and the group.
    std::istringstream rest(stat->substr(nameEnd + 1));
    char letter = '?';
    rest >> letter >> state.parent >> state.group;
    state.zombie = letter == 'Z';
    state.uid = statusNumber<uid_t>(*status, "Uid:");
    state.gid = statusNumber<gid_t>(*status, "Gid:");
    state.name = *comm;
    if (!state.name.empty() && state.name.back() == '\n') state.name.pop_back();
    state.arguments = *cmdline;
    return state;
}
