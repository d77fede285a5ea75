#include "support/program/process_tree.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <utility>

#include "support/program/exec_helpers.h"
#include "support/program/process_tree_wire.h"
#include "support/program/run_program.h"
#include "support/system/command_name.h"
#include "support/system/process_lifetime.h"

namespace wire = process_tree_wire;

namespace {

// Bounds that only a hung tree reaches, however busy the machine.
constexpr int readyTimeoutMilliseconds = 120'000;
constexpr int teardownTimeoutMilliseconds = 10'000;
constexpr std::size_t commLimit = 15;
constexpr std::size_t titleLimit = 4095;

// ---- Checking and encoding -------------------------------------------------

void check(const ProcessPlan& plan) {
    auto bad = [&](const std::string& what) {
        throw std::invalid_argument("process tree: process \"" + plan.name + "\": " + what);
    };
    if (plan.name.empty() || plan.name.size() > commLimit) bad("name must have 1 to 15 bytes");
    if (plan.name.find('\0') != std::string::npos) bad("NUL in the name");
    for (const std::string& argument : plan.argv)
        if (argument.find('\0') != std::string::npos) bad("NUL in an argument");
    if (plan.title) {
        std::size_t memory = 0;
        for (const std::string& argument : plan.argv) memory += argument.size() + 1;
        if (plan.argv.empty()) memory = plan.name.size() + 1;
        if (plan.title->find('\0') != std::string::npos) bad("NUL in the title");
        if (plan.title->size() + 1 > memory || plan.title->size() > titleLimit)
            bad("title does not fit in the argument memory");
    }
    if ((plan.uid || plan.gid) && !ProcessTree::canSwitchUsers()) bad("another user needs root");
    if (plan.zombie && !plan.children.empty()) bad("a zombie cannot have children");
    for (const ProcessPlan& child : plan.children) check(child);
}

void checkLabels(const ProcessPlan& top, const ProcessPlan& node) {
    if (!node.label.empty()) {
        // The node itself has the label: at() fails only when another has it too.
        try {
            (void)top.at(node.label);
        } catch (const std::out_of_range&) {
            throw std::invalid_argument("process tree: label \"" + node.label + "\" used twice");
        }
    }
    for (const ProcessPlan& child : node.children) checkLabels(top, child);
}

wire::Node toWire(const ProcessPlan& plan, std::uint32_t& nextIndex, const wire::Node* parent) {
    wire::Node node;
    node.index = nextIndex++;
    node.name = plan.name;
    node.image = imageNamed(toolPath("spawn_tree"), plan.name);
    node.argv = plan.argv.empty() ? std::vector<std::string>{plan.name} : plan.argv;
    node.zombie = plan.zombie;
    node.retitle = plan.title.has_value();
    node.title = plan.title.value_or("");
    if (plan.uid || plan.gid) {
        node.switchUser = true;
        node.uid =
            plan.uid.value_or(parent != nullptr && parent->switchUser ? parent->uid : getuid());
        node.gid = plan.gid.value_or(plan.uid ? static_cast<gid_t>(*plan.uid)
                                     : parent != nullptr && parent->switchUser ? parent->gid
                                                                               : getgid());
    } else if (parent != nullptr && parent->switchUser) {
        node.switchUser = true;
        node.uid = parent->uid;
        node.gid = parent->gid;
    }
    for (const ProcessPlan& child : plan.children)
        node.children.push_back(toWire(child, nextIndex, &node));
    return node;
}

// ---- Processes -------------------------------------------------------------

int millisecondsSince(double start) { return static_cast<int>((now() - start) * 1000); }

int planFile(const wire::Node& top) {
    std::string bytes;
    wire::encode(top, bytes);
    int fd = memfd_create("process_tree", MFD_CLOEXEC);
    if (fd < 0) throw std::runtime_error("process tree: memfd_create failed");
    for (std::size_t done = 0; done < bytes.size();) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(fd);
            throw std::runtime_error("process tree: writing the plan failed");
        }
        done += static_cast<std::size_t>(n);
    }
    return fd;
}

// Forks the top process into a group of its own and execs spawn_tree in it.
pid_t startTop(const wire::Node& top, int reportWrite) {
    std::vector<std::string> words = top.argv;
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    int plan = planFile(top);
    int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    pid_t pid = fork();
    if (pid < 0) {
        close(plan);
        close(devNull);
        throw std::runtime_error("process tree: fork failed");
    }
    if (pid == 0) {
        setpgid(0, 0);
        dieWithParent();
        // Lift both descriptors above 4 first: either may be 3 or 4 already.
        int from = fcntl(plan, F_DUPFD_CLOEXEC, wire::reportFd + 1);
        int to = fcntl(reportWrite, F_DUPFD_CLOEXEC, wire::reportFd + 1);
        if (from < 0 || to < 0 || !wire::moveDescriptor(devNull, 0) ||
            !wire::moveDescriptor(devNull, 1) || dup2(from, wire::planFd) < 0 ||
            dup2(to, wire::reportFd) < 0)
            _exit(127);
        close_range(wire::reportFd + 1, ~0U, 0);
        execve(top.image.c_str(), argv.data(), environ);
        wire::Report message{};
        message.index = 0;
        message.pid = static_cast<std::int32_t>(getpid());
        std::strncpy(message.error, "exec of spawn_tree failed", sizeof message.error - 1);
        ssize_t ignored = write(wire::reportFd, &message, sizeof message);
        (void)ignored;
        _exit(127);
    }
    setpgid(pid, pid);  // also here, so that the group exists whoever runs first
    close(plan);
    close(devNull);
    return pid;
}

// Reads one report per process; throws on an error report or a timeout.
void awaitReports(int reportRead, std::vector<pid_t>& pids, const std::vector<std::string>& paths) {
    const double start = now();
    std::size_t ready = 0;
    while (ready < pids.size()) {
        int left = readyTimeoutMilliseconds - millisecondsSince(start);
        if (left <= 0) throw std::runtime_error("process tree: not in place within 120 s");
        pollfd fd{reportRead, POLLIN, 0};
        int polled = poll(&fd, 1, left);
        if (polled < 0 && errno != EINTR) throw std::runtime_error("process tree: poll failed");
        if (polled <= 0) continue;
        wire::Report message{};
        ssize_t n = read(reportRead, &message, sizeof message);
        if (n < 0 && errno == EINTR) continue;
        if (n != static_cast<ssize_t>(sizeof message))
            throw std::runtime_error("process tree: processes ended before all were in place");
        std::size_t index = static_cast<std::size_t>(message.index);
        std::string where = index < paths.size() ? paths[index] : "?";
        if (message.error[0] != '\0')
            throw std::runtime_error("process tree: \"" + where + "\": " + message.error);
        if (index >= pids.size() || pids[index] != 0)
            throw std::runtime_error("process tree: unexpected report for \"" + where + "\"");
        pids[index] = message.pid;
        ++ready;
    }
}

void collectPaths(const ProcessPlan& plan, const std::string& parentPath,
                  std::vector<std::string>& paths) {
    paths.push_back(parentPath.empty() ? plan.name : parentPath + "/" + plan.name);
    std::string own = paths.back();
    for (const ProcessPlan& child : plan.children) collectPaths(child, own, paths);
}

void collectPlans(const ProcessPlan& plan, std::vector<const ProcessPlan*>& plans) {
    plans.push_back(&plan);
    for (const ProcessPlan& child : plan.children) collectPlans(child, plans);
}

// Kills the group and waits until none of it is left. The test process is
// a subreaper (see the constructor), so every process of the group ends as
// its child, orphans included, and is reaped here rather than at some later
// time by init.
void tearDown(pid_t group) {
    ::kill(-group, SIGKILL);
    const double start = now();
    for (;;) {
        while (waitpid(-group, nullptr, 0) > 0 || errno == EINTR) {
        }
        if (::kill(-group, 0) != 0 && errno == ESRCH) return;
        if (millisecondsSince(start) > teardownTimeoutMilliseconds) return;
        // Some process of the group is still exiting and not yet ours.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

}  // namespace

ProcessPlan ProcessTree::parse(std::string_view compactText) { return parsePlan(compactText); }

bool ProcessTree::canSwitchUsers() { return geteuid() == 0; }

ProcessTree::ProcessTree(std::string_view compactText) : ProcessTree(parse(compactText)) {}

ProcessTree::ProcessTree(const ProcessPlan& top) : plan_(top) {
    check(plan_);
    checkLabels(plan_, plan_);
    std::uint32_t count = 0;
    wire::Node node = toWire(plan_, count, nullptr);
    std::vector<std::string> paths;
    collectPaths(plan_, "", paths);
    // Orphans of the tree come to this process, so that tearDown can reap
    // them at once.
    adoptOrphans();
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) throw std::runtime_error("process tree: pipe failed");
    try {
        group = startTop(node, report[1]);
    } catch (...) {
        close(report[0]);
        close(report[1]);
        throw;
    }
    close(report[1]);
    pids_.assign(count, 0);
    try {
        awaitReports(report[0], pids_, paths);
    } catch (...) {
        close(report[0]);
        tearDown(group);
        throw;
    }
    close(report[0]);
}

ProcessTree::ProcessTree(ProcessTree&& other) noexcept
    : plan_(std::move(other.plan_)),
      pids_(std::move(other.pids_)),
      group(std::exchange(other.group, 0)) {}

ProcessTree::~ProcessTree() { kill(); }

void ProcessTree::kill() {
    if (group > 0) tearDown(std::exchange(group, 0));
}

pid_t ProcessTree::pid(std::string_view key) const {
    const ProcessPlan& wanted = plan_.at(key);
    std::vector<const ProcessPlan*> plans;
    collectPlans(plan_, plans);
    for (std::size_t i = 0; i < plans.size(); ++i)
        if (plans[i] == &wanted) return pids_.at(i);
    throw std::out_of_range("process tree: no process at \"" + std::string(key) + "\"");
}
