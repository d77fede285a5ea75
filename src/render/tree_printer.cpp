#include "render/tree_printer.h"

#include <string>

void printNode(ProcessNode& node, LineWriter& writer) {
    writer.writeLabel(node.label(), node.highlight, node.duplicates);
    if ((node.flags & Flag::arguments) == 0) return;
    char** vector = kvm_getargv(node.kvm, &node.kinfo, 0);
    if (vector != nullptr && vector[0] != nullptr) {
        for (char** argument = vector + 1; *argument != nullptr; ++argument)
            writer.writeArgument(ProcessNode::visEncode(*argument), argument[1] == nullptr);
    }
    writer.endLine();
}

namespace {

const ChildrenByName& ownChildren(const ProcessNode& node, const ChildrenByName&) {
    return node.childrenByName;
}
const ChildrenByPid& ownChildren(const ProcessNode& node, const ChildrenByPid&) {
    return node.childrenByPid;
}

// The body of printTree for either kind of index.
template <typename Index>
void printTreeIn(ProcessNode& node, LineWriter& writer, const Index& children) {
    if (node.duplicates == 1) return;
    printNode(node, writer);
    const std::size_t size = children.size();
    std::size_t printed = 0;
    for (auto current = children.begin(); current != children.end();) {
        ProcessNode& child = *current->second;
        const std::uint64_t groupRest = child.duplicates >= 1 ? child.duplicates - 1 : 0;
        bool isLast = groupRest + printed == size - 1;
        auto next = std::next(current);
        if (!isLast) {
            while (next != children.end() && next->second->duplicates == 1) ++next;
            isLast = next == children.end();
        }
        writer.first = printed == 0;
        writer.last = isLast;
        printTreeIn(child, writer, ownChildren(child, children));
        if (isLast) break;
        current = next;
        ++printed;
    }
    writer.branches.pop_back();
    if (size == 0 && (node.flags & Flag::arguments) == 0) writer.endLine();
}

}  // namespace

void printTree(ProcessNode& node, LineWriter& writer, const ChildrenByName& children) {
    printTreeIn(node, writer, children);
}

void printTree(ProcessNode& node, LineWriter& writer, const ChildrenByPid& children) {
    printTreeIn(node, writer, children);
}
