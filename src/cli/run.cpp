#include "cli/run.h"

#include <err.h>
#include <pwd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "cli/output_options.h"
#include "process/compaction.h"
#include "render/tree_printer.h"

uid_t lookUpUser(const CommandLine& line) {
    if ((line.flags & Flag::user) == 0) return 0;
    errno = 0;
    const passwd* account = getpwnam(line.userName->c_str());
    if (account == nullptr) {
        if (errno == 0) errx(1, "Unknown user: \"%s\"", line.userName->c_str());
        err(1, nullptr);
    }
    return account->pw_uid;
}

namespace {

// Sets the root flag of every node by the rule of the mode and gathers the
// roots by name. In user mode a root belongs to the user and has no
// ancestor that does; whether a node or an ancestor belongs to the user is
// decided once per node from its parent's answer, so that no chain of
// ancestors is walked more than once.
RootSet chooseRoots(ProcessTable& table, OptionFlags flags, uid_t rootUid) {
    RootSet roots;
    if ((flags & Flag::user) == 0) {
        // One pass over the nodes: the roots' array grows as it must, which
        // moves far fewer bytes than a pass to count them would read.
        for (ProcessNode& node : table) {
            node.root = node.parent == nullptr;
            if (!node.root) continue;
            node.name();  // its key, computed before it is added
            roots.append(&node);
        }
        roots.sort();
        return roots;
    }
    enum : std::int8_t { unknown = -1, no = 0, yes = 1 };
    std::vector<std::int8_t> userAtOrAbove(table.size(), unknown);
    const auto answer = [&](const ProcessNode& node) -> std::int8_t& {
        return userAtOrAbove[table.indexOf(node)];
    };
    std::vector<ProcessNode*> undecided;  // a chain of ancestors, lowest first
    for (ProcessNode& node : table) {
        for (ProcessNode* up = &node; up != nullptr && answer(*up) == unknown; up = up->parent)
            undecided.push_back(up);
        for (auto down = undecided.rbegin(); down != undecided.rend(); ++down) {
            ProcessNode& decided = **down;
            const bool above = decided.parent != nullptr && answer(*decided.parent) == yes;
            answer(decided) = above || decided.kinfo.ki_ruid == rootUid ? yes : no;
        }
        undecided.clear();
        const bool above = node.parent != nullptr && answer(*node.parent) == yes;
        if (node.kinfo.ki_ruid != rootUid || above) continue;
        node.root = true;
        node.name();  // its key, computed before it is added
        roots.append(&node);
    }
    roots.sort();
    return roots;
}

void printSelectedTree(ProcessTable& table, LineWriter& writer, const CommandLine& line,
                       const OutputOptions& output) {
    ProcessNode* node = table.find(line.rootPid);
    if (node == nullptr) return;
    if ((line.flags & Flag::noCompact) == 0)
        node->compactable = compact(node->childrenByName) ? 1 : 0;
    printTreeInOrder(*node, writer, output);
}

void printRootedTrees(ProcessTable& table, LineWriter& writer, const CommandLine& line,
                      uid_t rootUid, const OutputOptions& output) {
    RootSet roots = chooseRoots(table, line.flags, rootUid);
    if ((line.flags & Flag::noCompact) == 0) compact(roots);
    if ((line.flags & Flag::numericSort) != 0) {
        for (ProcessNode& node : table)
            if (node.root) printTreeInOrder(node, writer, output);
    } else {
        for (ProcessNode* node : roots) printTreeInOrder(*node, writer, output);
    }
}

}  // namespace

void printForest(ProcessTable& table, LineWriter& writer, const CommandLine& line, uid_t rootUid) {
    const OutputOptions output = outputOptionsOf(line.flags);
    if ((line.flags & Flag::pid) != 0)
        printSelectedTree(table, writer, line, output);
    else
        printRootedTrees(table, writer, line, rootUid, output);
}
