// spawn_tree: one process of a tree that a test builds (support/program/process_tree.h
// starts the top one). It is always started with the argument vector the test
// asked for, so it learns its part only from descriptor 3 (see
// support/program/process_tree_wire.h). In this order it
//   - takes the command name it was given (support/system/command_name.h),
//   - shows the given title as its argument vector, if asked,
//   - forks and execs each child, through the image that gives the child its
//     name, with the child's own argument vector,
//   - waits until each child that is to be a zombie has exited (not reaping),
//   - switches to its user and group, if asked,
//   - reports "in place" on descriptor 4,
// and then sleeps until it is killed, or exits at once if it is to be a zombie.
// Every process dies with its parent (support/system/process_lifetime.h), so a test
// that crashes leaves nothing behind either.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/program/exec_helpers.h"
#include "support/program/process_tree_wire.h"
#include "support/system/argument_memory.h"
#include "support/system/command_name.h"
#include "support/system/process_lifetime.h"

namespace wire = process_tree_wire;

namespace {

std::int32_t ownIndex = -1;

void report(std::int32_t index, const std::string& error) {
    wire::Report message{};
    message.index = index;
    message.pid = static_cast<std::int32_t>(getpid());
    std::snprintf(message.error, sizeof message.error, "%s", error.c_str());
    ssize_t ignored = write(wire::reportFd, &message, sizeof message);
    (void)ignored;
}

[[noreturn]] void fail(const std::string& what) {
    report(ownIndex, what + ": " + std::strerror(errno));
    _exit(1);
}

bool readPlan(wire::Node& node) {
    struct stat info {};
    if (fstat(wire::planFd, &info) != 0) return false;
    std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n =
            pread(wire::planFd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    close(wire::planFd);
    wire::Reader reader(bytes);
    return reader.node(node) && reader.atEnd();
}

pid_t startChild(wire::Node& child) {
    std::string bytes;
    wire::encode(child, bytes);
    int memory = memfd_create("spawn_tree", MFD_CLOEXEC);
    if (memory < 0) fail("memfd_create");
    for (std::size_t done = 0; done < bytes.size();) {
        ssize_t n = write(memory, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail("writing a child's plan");
        done += static_cast<std::size_t>(n);
    }
    std::vector<char*> argv = pointersTo(child.argv);
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) fail("fork");
    if (pid == 0) {
        ownIndex = static_cast<std::int32_t>(child.index);
        dieWithParent();
        if (getppid() != parent) _exit(1);
        if (!wire::moveDescriptor(memory, wire::planFd)) fail("dup2");
        execve(child.image.c_str(), argv.data(), environ);
        fail("execve");
    }
    close(memory);
    return pid;
}

void switchUser(const wire::Node& node) {
    if (setgroups(0, nullptr) != 0) fail("setgroups");
    if (setresgid(node.gid, node.gid, node.gid) != 0) fail("setresgid");
    if (setresuid(node.uid, node.uid, node.uid) != 0) fail("setresuid");
    restoreAfterUserSwitch();
}

}  // namespace

int main(int argc, char** argv) {
    pid_t parent = getppid();
    wire::Node node;
    if (!readPlan(node)) {
        std::fprintf(stderr, "spawn_tree: started without a plan on descriptor 3\n");
        return 2;
    }
    ownIndex = static_cast<std::int32_t>(node.index);
    // A zombie must stay unreaped, and a test process that ignores SIGCHLD
    // would hand that disposition down through exec.
    signal(SIGCHLD, SIG_DFL);

    // Set again after exec, which clears it on some systems.
    dieWithParent();
    if (getppid() != parent) _exit(1);
    if (!takeCommandName(node.name)) fail("taking the command name");
    if (node.retitle && !showTitle(argc, argv, node.title))
        fail("showing the title (it must fit in the argument memory)");

    std::vector<pid_t> zombies;
    for (wire::Node& child : node.children) {
        pid_t pid = startChild(child);
        if (child.zombie) zombies.push_back(pid);
    }
    for (pid_t zombie : zombies) {
        siginfo_t info{};
        while (waitid(P_PID, static_cast<id_t>(zombie), &info, WEXITED | WNOWAIT) != 0)
            if (errno != EINTR) fail("waitid");
    }
    if (node.switchUser) switchUser(node);
    if (getppid() != parent) _exit(1);

    report(ownIndex, "");
    close(wire::reportFd);
    if (node.zombie) _exit(0);
    for (;;) pause();
}
