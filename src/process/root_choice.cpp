#include "process/root_choice.h"

#include <vector>

#include "process/labeller.h"

namespace {

// Sets `node`'s root flag and adds it under its name, computed here.
void addRoot(RootSet& roots, ProcessNode& node) {
    node.root = true;
    Labeller::name(node);  // the key by name
    roots.append(&node);
}

// Every node without a parent. One pass over the nodes: the roots' array
// grows as it must, which moves far fewer bytes than a pass to count them
// would read.
RootSet parentlessRoots(ProcessTable& table) {
    RootSet roots;
    for (ProcessNode& node : table)
        if (node.parent == nullptr) addRoot(roots, node);
    roots.sort();
    return roots;
}

// Every node of `uid` none of whose ancestors belongs to `uid`. Whether a
// node or an ancestor belongs to the user is decided once per node from its
// parent's answer, so that no chain of ancestors is walked more than once.
RootSet topmostOfUser(ProcessTable& table, uid_t uid) {
    enum class Owned : std::uint8_t { unknown, no, yes };  // by the user, at or above the node
    std::vector<Owned> atOrAbove(table.size(), Owned::unknown);
    const auto answer = [&](const ProcessNode& node) -> Owned& {
        return atOrAbove[table.indexOf(node)];
    };
    const auto ownedAbove = [&](const ProcessNode& node) {
        return node.parent != nullptr && answer(*node.parent) == Owned::yes;
    };
    RootSet roots;
    std::vector<ProcessNode*> undecided;  // a chain of ancestors, lowest first
    for (ProcessNode& node : table) {
        for (ProcessNode* up = &node; up != nullptr && answer(*up) == Owned::unknown;
             up = up->parent)
            undecided.push_back(up);
        for (auto down = undecided.rbegin(); down != undecided.rend(); ++down) {
            ProcessNode& decided = **down;
            const bool owned = ownedAbove(decided) || decided.record.realUid == uid;
            answer(decided) = owned ? Owned::yes : Owned::no;
        }
        undecided.clear();
        if (node.record.realUid == uid && !ownedAbove(node)) addRoot(roots, node);
    }
    roots.sort();
    return roots;
}

}  // namespace

Roots chooseRoots(ProcessTable& table, const Selection& selection) {
    Roots roots;
    roots.mode = selection.mode;
    switch (selection.mode) {
        case Selection::Mode::pid:
            roots.selected = table.find(selection.pid);
            break;
        case Selection::Mode::user:
            roots.byName = topmostOfUser(table, selection.uid);
            break;
        case Selection::Mode::allTrees:
            roots.byName = parentlessRoots(table);
            break;
    }
    return roots;
}
