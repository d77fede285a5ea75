#include "cli/run.h"

#include <err.h>
#include <pwd.h>

#include <cerrno>

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

// Whether `node` starts a tree in user mode: it belongs to the user and no
// ancestor does.
bool isUserRoot(const ProcessNode& node, uid_t rootUid) {
    if (node.kinfo.ki_ruid != rootUid) return false;
    for (const ProcessNode* up = node.parent; up != nullptr; up = up->parent)
        if (up->kinfo.ki_ruid == rootUid) return false;
    return true;
}

// Applies the root rule of the mode to `node`, setting its root flag.
bool chooseAsRoot(ProcessNode& node, OptionFlags flags, uid_t rootUid) {
    if ((flags & Flag::user) != 0) {
        if (!isUserRoot(node, rootUid)) return false;
        node.root = true;
        return true;
    }
    node.root = node.parent == nullptr;
    return node.root;
}

void printSelectedTree(ProcessTable& table, LineWriter& writer, const CommandLine& line) {
    ProcessNode* node = table.find(line.rootPid);
    if (node == nullptr) return;
    if ((line.flags & Flag::noCompact) == 0)
        node->compactable = compact(node->childrenByName) ? 1 : 0;
    if ((line.flags & Flag::numericSort) != 0)
        printTree(*node, writer, node->childrenByPid);
    else
        printTree(*node, writer, node->childrenByName);
}

void printRootedTrees(ProcessTable& table, LineWriter& writer, const CommandLine& line,
                      uid_t rootUid) {
    ChildrenByName roots;
    for (ProcessNode& node : table)
        if (chooseAsRoot(node, line.flags, rootUid)) roots.emplace(node.name(), &node);
    if ((line.flags & Flag::noCompact) == 0) compact(roots);
    if ((line.flags & Flag::numericSort) != 0) {
        for (ProcessNode& node : table)
            if (chooseAsRoot(node, line.flags, rootUid))
                printTree(node, writer, node.childrenByPid);
    } else {
        for (auto& [name, node] : roots) printTree(*node, writer, node->childrenByName);
    }
}

}  // namespace

void printForest(ProcessTable& table, LineWriter& writer, const CommandLine& line, uid_t rootUid) {
    if ((line.flags & Flag::pid) != 0)
        printSelectedTree(table, writer, line);
    else
        printRootedTrees(table, writer, line, rootUid);
}
