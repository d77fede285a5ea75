#include "platform/linux/proc_texts.h"

namespace {

// A newline as "\n", a backslash as "\\", every other byte as it is.
std::string kernelEscaped(const std::string& name) {
    std::string escaped;
    for (char c : name) {
        if (c == '\n')
            escaped += "\\n";
        else if (c == '\\')
            escaped += "\\\\";
        else
            escaped += c;
    }
    return escaped;
}

}  // namespace

std::string statusText(const MemoryProcess& process, bool withKthreadLine) {
    const std::string uid = std::to_string(process.uid);
    std::string text =
        "Name:\t" + kernelEscaped(process.name) + "\nUmask:\t0022\nState:\tS (sleeping)\nTgid:\t" +
        std::to_string(process.pid) + "\nNgid:\t0\nPid:\t" + std::to_string(process.pid) +
        "\nPPid:\t" + std::to_string(process.ppid) + "\nTracerPid:\t0\nUid:\t" + uid + "\t" + uid +
        "\t" + uid + "\t" + uid + "\nGid:\t0\t0\t0\t0\nFDSize:\t64\nGroups:\t \n";
    if (withKthreadLine) text += std::string("Kthread:\t") + (process.kernel ? "1" : "0") + "\n";
    text += "Threads:\t1\n";
    return text;
}

std::string statText(const MemoryProcess& process) {
    // PF_RANDOMIZE | PF_FORKNOEXEC, plus PF_KTHREAD for a kernel thread.
    const unsigned long flags = 0x00400040ul | (process.kernel ? 0x00200000ul : 0ul);
    const std::string pid = std::to_string(process.pid);
    return pid + " (" + process.name + ") S " + std::to_string(process.ppid) + " " + pid + " " +
           pid + " 0 -1 " + std::to_string(flags) + " 0 0 0 0 0 0 0 0 20 0 1 0 " +
           std::to_string(process.start) + " 0 0 18446744073709551615\n";
}

std::string cmdlineText(const MemoryProcess& process) {
    std::string text;
    for (const std::string& argument : process.arguments) text += argument + '\0';
    return text;
}
