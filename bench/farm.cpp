// vindle_farm: spawns a farm of sleeping processes for the benchmark.
//
//   vindle_farm [--count N] [--shape mixed|corner]
//
// The farm is one process group led by this program (renamed "farm"), which
// stays the root of the tree. Once every process is in place it prints its
// own pid on standard output and waits. Every process of the farm has a
// parent death signal, so that the whole farm goes when its root goes, and
// the root goes with the process that started it; killing the process group
// takes all of it down at once.
//
// Shapes (N is the number of processes, the root included):
//   mixed   (default, N = 10000) blocks of services under "shim" processes:
//           identical worker pools that fold, sessions whose chains differ
//           only at the bottom, a parent whose children carry two labels,
//           and unique names, so that compaction has work of every kind and
//           the output still has a line for many processes.
//   corner  (N = 2 * siblings + 1) the root with (N - 1) / 2 children named
//           "same", each with one child of a unique name: no two siblings
//           match, the worst case for comparing siblings pairwise.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The tree to spawn: node 0 is the root.
class Plan {
  public:
    explicit Plan(std::size_t capacity) : limit(capacity) {}

    bool full() const { return names.size() >= limit; }
    std::size_t size() const { return names.size(); }

    // Adds a node below `parent` (none for the root); returns its index, or
    // `none` when the plan is full or the parent was never added.
    std::size_t add(std::size_t parent, std::string name) {
        if (full() || (parent == none && !names.empty()) || (parent != none && parent >= size()))
            return none;
        names.push_back(std::move(name));
        children.emplace_back();
        if (parent != none) children[parent].push_back(names.size() - 1);
        return names.size() - 1;
    }

    static constexpr std::size_t none = static_cast<std::size_t>(-1);
    std::vector<std::string> names;
    std::vector<std::vector<std::size_t>> children;

  private:
    std::size_t limit;
};

// One block of services below `parent`; the kind cycles with `block`.
void addBlock(Plan& plan, std::size_t parent, std::size_t block) {
    const std::string number = std::to_string(block);
    switch (block % 6) {
        case 0: {  // a master with a pool of identical workers
            std::size_t master = plan.add(parent, "nginx");
            for (int i = 0; i < 8; ++i) plan.add(master, "nginx");
            break;
        }
        case 1: {  // a pool beside a uniquely named helper: two labels
            std::size_t server = plan.add(parent, "postgres");
            for (int i = 0; i < 6; ++i) plan.add(server, "postgres");
            plan.add(server, "walwriter-" + number);
            break;
        }
        case 2: {  // sessions whose chains differ at the bottom
            static const char* const tools[] = {"vim", "less", "top"};
            std::size_t session = plan.add(plan.add(plan.add(parent, "sshd"), "sshd"), "bash");
            plan.add(session, tools[(block / 6) % 3]);
            break;
        }
        case 3:  // the same chain everywhere
            plan.add(plan.add(plan.add(parent, "cron"), "sh"), "sleep");
            break;
        case 4: {  // a unique job with identical workers
            std::size_t job = plan.add(parent, "job-" + number);
            for (int i = 0; i < 4; ++i) plan.add(plan.add(job, "worker"), "sh");
            break;
        }
        default:  // a unique leaf beside leaves that fold
            plan.add(parent, "u" + number);
            plan.add(parent, "sleep");
            plan.add(parent, "sleep");
            break;
    }
}

Plan mixedPlan(std::size_t count) {
    Plan plan(count);
    const std::size_t root = plan.add(Plan::none, "farm");
    std::size_t shim = root;
    for (std::size_t block = 0; !plan.full(); ++block) {
        if (block % 25 == 0) shim = plan.add(root, "shim");
        addBlock(plan, shim, block);
    }
    return plan;
}

Plan cornerPlan(std::size_t count) {
    Plan plan(count);
    const std::size_t root = plan.add(Plan::none, "farm");
    for (std::size_t i = 0; !plan.full(); ++i)
        plan.add(plan.add(root, "same"), "u" + std::to_string(i));
    return plan;
}

// Each process reports on this pipe once it is in place: 1 when it is, 0
// when it could not fork one of its children.
int readyFd = -1;

void report(char state) {
    while (write(readyFd, &state, 1) < 0 && errno == EINTR) {
    }
}

[[noreturn]] void becomeNode(const Plan& plan, std::size_t node, pid_t parentPid);

void spawnChildren(const Plan& plan, std::size_t node) {
    const pid_t self = getpid();
    for (std::size_t child : plan.children[node]) {
        pid_t pid = fork();
        if (pid == 0) becomeNode(plan, child, self);
        if (pid < 0) {
            std::fprintf(stderr, "vindle_farm: fork: %s\n", std::strerror(errno));
            report(0);
        }
    }
}

// Dies with the parent, takes the node's name, spawns the node's children,
// reports and sleeps until killed.
void becomeNode(const Plan& plan, std::size_t node, pid_t parentPid) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parentPid) _exit(0);  // the parent is already gone
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        close(null);
    }
    prctl(PR_SET_NAME, plan.names[node].c_str());
    spawnChildren(plan, node);
    report(1);
    for (;;) pause();
}

// Waits for every process but the root to report; false when one failed or
// all reporters are gone before the count is complete.
bool awaitFarm(int readEnd, std::size_t expected) {
    std::size_t reported = 0;
    char buffer[4096];
    while (reported < expected) {
        ssize_t n = read(readEnd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        for (ssize_t i = 0; i < n; ++i)
            if (buffer[i] != 1) return false;
        reported += static_cast<std::size_t>(n);
    }
    return true;
}

int usage() {
    std::fputs("usage: vindle_farm [--count N] [--shape mixed|corner]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t count = 0;
    std::string_view shape = "mixed";
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--count" && i + 1 < argc) {
            char* end = nullptr;
            long value = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || value < 1) return usage();
            count = static_cast<std::size_t>(value);
        } else if (arg == "--shape" && i + 1 < argc) {
            shape = argv[++i];
            if (shape != "mixed" && shape != "corner") return usage();
        } else {
            return usage();
        }
    }
    if (count == 0) count = shape == "corner" ? 20001 : 10000;

    const pid_t starter = getppid();
    setpgid(0, 0);
    if (getpgrp() != getpid()) {
        std::fputs("vindle_farm: cannot lead a process group of its own\n", stderr);
        return 1;
    }
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != starter) return 1;
    prctl(PR_SET_NAME, "farm");

    const Plan plan = shape == "corner" ? cornerPlan(count) : mixedPlan(count);
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        std::perror("vindle_farm: pipe");
        return 1;
    }
    readyFd = ready[1];
    std::fflush(stdout);
    spawnChildren(plan, 0);
    close(ready[1]);
    if (!awaitFarm(ready[0], plan.size() - 1)) {
        std::fputs("vindle_farm: the farm could not be spawned in full\n", stderr);
        kill(0, SIGKILL);  // the whole group, this process included
        return 1;
    }
    std::printf("%d\n", static_cast<int>(getpid()));
    std::fflush(stdout);
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, 1);
    for (;;) pause();
}
