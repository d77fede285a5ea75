#include "render/tree_printer.h"

#include <string>

void LineWriter::writeLabel(const std::string& label, bool highlight, std::uint64_t duplicates) {
    const SegmentMode drawing = drawingEscapes ? SegmentMode::Drawing : SegmentMode::Plain;
    const bool arguments = (flags & Flag::arguments) != 0;
    if (!branches.empty()) {
        if (!first || arguments) {
            for (std::size_t i = 0; i + 1 < branches.size(); ++i) {
                const Branch& level = branches[i];
                write(level.prefix.size() + 2, drawing,
                      level.prefix + encode(level.last ? L' ' : drawingSet.vertical) + ' ');
            }
            Branch& parentLevel = branches.back();
            wchar_t joint = drawingSet.tee;
            if (last) {
                parentLevel.last = true;
                joint = drawingSet.corner;
            }
            write(parentLevel.prefix.size() + 2, drawing,
                  parentLevel.prefix + encode(joint) + encode(drawingSet.horizontal));
        } else {
            wchar_t joint = drawingSet.downTee;
            if (last) {
                branches.back().last = true;
                joint = drawingSet.horizontal;
            }
            write(3, drawing,
                  encode(drawingSet.horizontal) + encode(joint) + encode(drawingSet.horizontal));
        }
    }
    std::size_t groupWidth = 1;
    if (duplicates != 0) {
        std::string group = std::to_string(duplicates) + "*[";
        const std::size_t width = group.size();  // taken before the text is moved away
        groupWidth = width + 1;
        write(width, SegmentMode::Plain, std::move(group));
        ++closers;
    }
    write(label.size(), highlight ? SegmentMode::Bold : SegmentMode::Plain, label);
    branches.push_back({std::string(arguments ? 2 : groupWidth + label.size(), ' '), false});
}

void ProcessNode::printNode(LineWriter& writer) {
    writer.writeLabel(label(), highlight, duplicates);
    if ((flags & Flag::arguments) == 0) return;
    char** vector = kvm_getargv(kvm, &kinfo, 0);
    if (vector != nullptr && vector[0] != nullptr) {
        for (char** argument = vector + 1; *argument != nullptr; ++argument)
            writer.writeArgument(visEncode(*argument), argument[1] == nullptr);
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
    node.printNode(writer);
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

void ProcessNode::printTree(LineWriter& writer, const ChildrenByName& children) {
    printTreeIn(*this, writer, children);
}

void ProcessNode::printTree(LineWriter& writer, const ChildrenByPid& children) {
    printTreeIn(*this, writer, children);
}
