#include "support/process_tree.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <utility>

#include "support/exec_helpers.h"
#include "support/process_tree_wire.h"
#include "support/run_program.h"

namespace wire = process_tree_wire;

namespace {

// Bounds that only a hung tree reaches, however busy the machine.
constexpr int readyTimeoutMilliseconds = 120'000;
constexpr int teardownTimeoutMilliseconds = 10'000;
constexpr std::size_t commLimit = 15;
constexpr std::size_t titleLimit = 4095;

// ---- Addressing ------------------------------------------------------------

// One step of a path: a name and which of the siblings of that name (from 1;
// 0 when not given).
struct Step {
    std::string_view name;
    std::size_t ordinal = 0;
};

Step parseStep(std::string_view text) {
    Step step{text, 0};
    std::size_t hash = text.rfind('#');
    if (hash == std::string_view::npos) return step;
    std::size_t ordinal = 0;
    const char* first = text.data() + hash + 1;
    const char* last = text.data() + text.size();
    auto [stop, ec] = std::from_chars(first, last, ordinal);
    if (ec != std::errc{} || stop != last || ordinal == 0) return step;
    return Step{text.substr(0, hash), ordinal};
}

template <typename Plan>
void collectByLabel(Plan& node, std::string_view label, std::vector<Plan*>& found) {
    if (!label.empty() && node.label == label) found.push_back(&node);
    for (auto& child : node.children) collectByLabel(child, label, found);
}

// The processes whose path from `top` is `path`.
template <typename Plan>
std::vector<Plan*> findByPath(Plan& top, std::string_view path) {
    std::vector<Plan*> level{&top};
    bool first = true;
    while (!level.empty()) {
        std::size_t slash = path.find('/');
        Step step = parseStep(path.substr(0, slash));
        std::vector<Plan*> next;
        auto consider = [&](auto& candidates) {
            std::size_t seen = 0;
            for (auto& candidate : candidates) {
                if (candidate.name != step.name) continue;
                ++seen;
                if (step.ordinal == 0 || seen == step.ordinal) next.push_back(&candidate);
            }
        };
        if (first) {
            if (top.name == step.name && step.ordinal <= 1) next.push_back(&top);
        } else {
            for (Plan* parent : level) consider(parent->children);
        }
        first = false;
        level = std::move(next);
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return level;
}

template <typename Plan>
Plan& findOne(Plan& top, std::string_view key) {
    std::vector<Plan*> found;
    collectByLabel(top, key, found);
    if (found.empty()) found = findByPath(top, key);
    if (found.size() == 1) return *found.front();
    throw std::out_of_range("process tree: " + std::string(found.empty() ? "no" : "more than one") +
                            " process at \"" + std::string(key) + "\"");
}

// ---- Compact text ----------------------------------------------------------

class CompactParser {
  public:
    explicit CompactParser(std::string_view text) : rest(text) {}

    ProcessPlan top() {
        std::vector<ProcessPlan> nodes = node();
        skipBlanks();
        if (nodes.size() != 1 || !rest.empty()) error("one top process expected");
        return std::move(nodes.front());
    }

  private:
    std::string_view rest;

    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
    static bool isSpecial(char c) { return isBlank(c) || c == '(' || c == ')' || c == '*'; }

    [[noreturn]] void error(const std::string& what) const {
        throw std::invalid_argument("process tree text: " + what + " at \"" + std::string(rest) +
                                    "\"");
    }

    void skipBlanks() {
        while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
    }

    std::vector<ProcessPlan> node() {
        skipBlanks();
        std::size_t length = 0;
        while (length < rest.size() && !isSpecial(rest[length])) ++length;
        if (length == 0) error("name expected");
        ProcessPlan plan;
        plan.name = std::string(rest.substr(0, length));
        rest.remove_prefix(length);
        std::size_t count = 1;
        if (!rest.empty() && rest.front() == '*') {
            rest.remove_prefix(1);
            auto [stop, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), count);
            if (ec != std::errc{} || count == 0) error("count expected");
            rest.remove_prefix(static_cast<std::size_t>(stop - rest.data()));
        }
        if (!rest.empty() && rest.front() == '(') {
            rest.remove_prefix(1);
            for (;;) {
                skipBlanks();
                if (rest.empty()) error("')' expected");
                if (rest.front() == ')') break;
                for (ProcessPlan& child : node()) plan.children.push_back(std::move(child));
            }
            rest.remove_prefix(1);
        }
        return std::vector<ProcessPlan>(count, plan);
    }
};

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
        std::vector<const ProcessPlan*> found;
        collectByLabel(top, node.label, found);
        if (found.size() > 1)
            throw std::invalid_argument("process tree: label \"" + node.label + "\" used twice");
    }
    for (const ProcessPlan& child : node.children) checkLabels(top, child);
}

wire::Node toWire(const ProcessPlan& plan, std::uint32_t& nextIndex, const wire::Node* parent) {
    wire::Node node;
    node.index = nextIndex++;
    node.name = plan.name;
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
    std::string tool = toolPath("spawn_tree");
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
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        // Lift both descriptors above 4 first: either may be 3 or 4 already.
        int from = fcntl(plan, F_DUPFD_CLOEXEC, wire::reportFd + 1);
        int to = fcntl(reportWrite, F_DUPFD_CLOEXEC, wire::reportFd + 1);
        if (from < 0 || to < 0 || !wire::moveDescriptor(devNull, 0) ||
            !wire::moveDescriptor(devNull, 1) || dup2(from, wire::planFd) < 0 ||
            dup2(to, wire::reportFd) < 0)
            _exit(127);
        close_range(wire::reportFd + 1, ~0U, 0);
        execve(tool.c_str(), argv.data(), environ);
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

ProcessPlan& ProcessPlan::at(std::string_view key) { return findOne(*this, key); }

const ProcessPlan& ProcessPlan::at(std::string_view key) const { return findOne(*this, key); }

ProcessPlan ProcessTree::parse(std::string_view compactText) {
    return CompactParser(compactText).top();
}

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
    prctl(PR_SET_CHILD_SUBREAPER, 1);
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
