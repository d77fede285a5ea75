#include "render/tree_printer.h"

#include <iterator>
#include <span>
#include <string>
#include <vector>

namespace {

// Writes `node`'s branch drawing and label (and, with `options.arguments`,
// its arguments and the end of its line).
void printNode(ProcessNode& node, LineWriter& writer, Labeller& labeller,
               const OutputOptions& options) {
    writer.writeLabel(labeller.label(node), node.highlight,
                      node.fold.part() == Fold::head ? node.fold.groupSize() : 0);
    if (!options.arguments) return;
    const std::span<const std::string> arguments = labeller.arguments(node);
    for (std::size_t i = 0; i < arguments.size(); ++i)
        writer.writeArgument(arguments[i], i + 1 == arguments.size());
    writer.endLine();
}

const ChildrenByName& ownChildren(const ProcessNode& node, const ChildrenByName&) {
    return node.childrenByName;
}
const ChildrenByPid& ownChildren(const ProcessNode& node, const ChildrenByPid&) {
    return node.childrenByPid;
}

// A printed node whose children are being printed, and where that stands.
template <typename Index>
struct Visit {
    ProcessNode* node;
    typename Index::const_iterator next;  // the next child to print, or end
    typename Index::const_iterator end;
    std::size_t size;     // entries of the index, hidden ones included
    std::size_t printed;  // children printed so far
};

// Prints the node itself (its line, or the start of it) and begins the
// visit of its children.
template <typename Index>
Visit<Index> enterNode(ProcessNode& node, LineWriter& writer, Labeller& labeller,
                       const Index& children, const OutputOptions& options) {
    printNode(node, writer, labeller, options);
    return {&node, children.begin(), children.end(), children.size(), 0};
}

// Ends the visit of a node whose children are all printed. A leaf ends its
// line; with --arguments every line has already ended.
template <typename Index>
void leaveNode(const Visit<Index>& visit, LineWriter& writer, const OutputOptions& options) {
    writer.leaveNode();
    if (visit.size == 0 && !options.arguments) writer.endLine();
}

// Takes the next child of `visit` and tells the writer whether it is the
// first and whether it is the last child printed. It is the last when every
// entry after it is hidden. Hidden entries are the members folded into a
// group after its head (the head has the lowest pid and comes first in
// either order), so they are not counted as children to come: when the
// rest of the child's own group makes up every entry not yet printed, the
// child is last without looking further; otherwise the entries after it are
// walked past the hidden ones, and the first visible one is the next child.
template <typename Index>
ProcessNode& takeChild(Visit<Index>& visit, LineWriter& writer) {
    ProcessNode& child = **visit.next;
    const std::uint64_t groupRest = child.fold.groupSize() - 1;
    bool isLast = groupRest + visit.printed == visit.size - 1;
    auto next = std::next(visit.next);
    if (!isLast) {
        while (next != visit.end && (*next)->fold.part() == Fold::hidden) ++next;
        isLast = next == visit.end;
    }
    writer.enterChild(visit.printed == 0, isLast);
    visit.next = isLast ? visit.end : next;
    ++visit.printed;
    return child;
}

// Print the node, then each child's tree in order. The path from the top
// down to the node being printed is kept on a stack of its own rather than
// on the call stack, which a deep enough tree would overflow.
template <typename Index>
void printTreeIn(ProcessNode& top, LineWriter& writer, Labeller& labeller, const Index& children,
                 const OutputOptions& options) {
    if (top.fold.part() == Fold::hidden) return;  // folded into an earlier sibling
    std::vector<Visit<Index>> path;
    path.push_back(enterNode(top, writer, labeller, children, options));
    while (!path.empty()) {
        Visit<Index>& visit = path.back();
        if (visit.next == visit.end) {
            leaveNode(visit, writer, options);
            path.pop_back();
            continue;
        }
        ProcessNode& child = takeChild(visit, writer);
        if (child.fold.part() == Fold::hidden) continue;
        path.push_back(enterNode(child, writer, labeller, ownChildren(child, children), options));
    }
}

}  // namespace

void printTree(ProcessNode& node, LineWriter& writer, Labeller& labeller,
               const ChildrenByName& children, const OutputOptions& options) {
    printTreeIn(node, writer, labeller, children, options);
}

void printTree(ProcessNode& node, LineWriter& writer, Labeller& labeller,
               const ChildrenByPid& children, const OutputOptions& options) {
    printTreeIn(node, writer, labeller, children, options);
}

namespace {

// printTree through the index of `order`, which the node's table must have.
void printTreeInOrder(ProcessNode& node, LineWriter& writer, Labeller& labeller, ChildOrder order,
                      const OutputOptions& options) {
    if (order == ChildOrder::ByPid)
        printTree(node, writer, labeller, node.childrenByPid, options);
    else
        printTree(node, writer, labeller, node.childrenByName, options);
}

}  // namespace

void printTrees(ProcessTable& table, const Roots& roots, LineWriter& writer, Labeller& labeller,
                const OutputOptions& options) {
    const ChildOrder order = table.childOrder();
    if (roots.selected != nullptr) {
        printTreeInOrder(*roots.selected, writer, labeller, order, options);
    } else if (order == ChildOrder::ByPid) {
        for (ProcessNode& node : table)
            if (node.root) printTreeInOrder(node, writer, labeller, order, options);
    } else {
        for (ProcessNode* node : roots.byName)
            printTreeInOrder(*node, writer, labeller, order, options);
    }
}
