// Real process trees for tests.
//
// A test writes the plan of a tree, ProcessTree spawns it (every process an image of
// the spawn_tree tool, in a process group of its own), waits until every
// process is in place, tells the pid of each, and kills and reaps the whole
// group in its destructor, so that no process outlives the test, also when
// the test fails or throws. Processes sleep until killed.
//
// Planning a tree, as nested initialisers:
//
//     ProcessPlan top{.name = "init", .children = {
//         {.name = "sshd", .argv = {"/usr/sbin/sshd", "-D"}, .children = {
//             {.name = "bash", .uid = 65534}}},
//         {.name = "getty", .title = "getty: tty1"},
//         {.name = "defunct", .zombie = true}}};
//     ProcessTree tree(top);
//
// or as compact text: a name, optionally "*N" for N equal siblings, then
// optionally its children in parentheses, separated by blanks:
//
//     ProcessTree tree("init(getty*3 sshd(bash(vim) bash) cron)");
//
// Compact text gives names and shapes only; parse it with
// ProcessTree::parse, change nodes through ProcessPlan::at, then spawn:
//
//     ProcessPlan top = ProcessTree::parse("init(a b(c))");
//     top.at("init/b/c").uid = 65534;
//     ProcessTree tree(top);
//
// Every field of ProcessPlan:
//   name      the kernel's command name (comm): 1 to 15 bytes, any but NUL.
//   argv      the exact argument vector of /proc/PID/cmdline, argv[0] being
//             the title; any bytes but NUL in each argument; empty means
//             {name}. Up to about 1.5 MiB in all (exec's limit, environment
//             included; one argument at most 128 KiB).
//   uid, gid  run as this real, effective and saved user and group (test
//             must run as root: see canSwitchUsers). gid defaults to the uid's
//             number. Children without their own inherit their parent's.
//   title     rewrite the argument memory after start, so that
//             /proc/PID/cmdline reads exactly title + NUL. It must fit in the
//             memory of argv (the total of its lengths plus one per argument)
//             and in 4095 bytes.
//   zombie    the process exits once in place and its parent never reaps
//             it (a zombie has an empty cmdline). It may have no children.
//   label     a key for ProcessTree::pid, unique within the tree.
//   children  started in order, so their pids ascend in that order (unless
//             the kernel's pid counter wraps meanwhile).
//
// Addressing a process, in ProcessTree::pid and ProcessPlan::at: by its
// label, or by its path of names from the top, "init/sshd/bash"; among
// siblings of one name, "getty#2" is the second (counted from 1). A path
// that matches several processes is an error.
//
// Every process dies with its parent (PR_SET_PDEATHSIG): a test that kills
// one process of the tree also ends its subtree, and the tree ends with the
// thread that created it, so create it on a thread that lives as long.
// The test process makes itself a child subreaper (PR_SET_CHILD_SUBREAPER),
// so that the orphans of a dying tree come to it and are reaped before the
// destructor returns.
//
// Errors (a bad plan, a process that could not be set up, a tree
// not in place within two minutes) throw std::invalid_argument or
// std::runtime_error; whatever was started is torn down first.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/process_plan.h"

class ProcessTree {
  public:
    explicit ProcessTree(const ProcessPlan& top);
    explicit ProcessTree(std::string_view compactText);
    explicit ProcessTree(const char* compactText) : ProcessTree(std::string_view(compactText)) {}
    ~ProcessTree();
    ProcessTree(ProcessTree&& other) noexcept;
    ProcessTree& operator=(ProcessTree&&) = delete;
    ProcessTree(const ProcessTree&) = delete;
    ProcessTree& operator=(const ProcessTree&) = delete;

    // The pid of the process at `key` (label or path, as above).
    pid_t pid(std::string_view key) const;
    // The top process; also the process group of the whole tree.
    pid_t topPid() const { return pids_.empty() ? 0 : pids_.front(); }
    // Every pid, in preorder (the order of the plan).
    const std::vector<pid_t>& pids() const { return pids_; }
    // The plan the tree was spawned from.
    const ProcessPlan& plan() const { return plan_; }

    // Kills and reaps the tree now; the destructor then does nothing.
    void kill();

    // Parses compact text (see above) into a plan.
    static ProcessPlan parse(std::string_view compactText);
    // True when processes can be given another user (the test runs as root).
    static bool canSwitchUsers();

  private:
    ProcessPlan plan_;
    std::vector<pid_t> pids_;
    pid_t group = 0;
};
