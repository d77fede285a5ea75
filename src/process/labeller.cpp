#include "process/labeller.h"

#include <cstring>
#include <memory>
#include <utility>

#include "process/visible_text.h"

Labeller::Labeller(const LabelOptions& labelOptions, ArgumentSource source, const Roots& roots)
    : options(labelOptions), vectors(source), usersRoots(roots.mode == Selection::Mode::user) {}

std::string_view Labeller::name(ProcessNode& node) {
    if (!node.nameCache.encoded()) {
        // Most names are left as they are by the encoding: those are not
        // copied, the table keeps them for the whole run.
        const std::string_view command = node.nameCache.view();
        if (isPrintableAscii(command))
            node.nameCache = EncodedName::viewOf(command);
        else
            node.nameCache = EncodedName::copyOf(visEncode(command));
    }
    return node.nameCache.view();
}

bool Labeller::showsUser(const ProcessNode& node) const {
    if (!options.userChanges) return false;
    if (node.root) return !usersRoots && node.record.realUid != 0;
    return node.parent != nullptr && node.record.realUid != node.parent->record.realUid;
}

std::string_view Labeller::label(ProcessNode& node) {
    if (node.labelCache) return *node.labelCache;
    // Without a title, a pid or a user the label is the name: it is not
    // kept twice.
    const bool pids = options.pids;
    const bool user = showsUser(node);
    if (!options.titles && !pids && !user) return name(node);
    std::string text;
    if (options.titles) {
        // An empty title, as a process exec'd with an empty argv[0] has,
        // would leave the process without a visible label. With the
        // arguments shown, the whole vector is read at once, and a cut is
        // marked after them.
        const ArgumentVector title = argumentVector(
            node, options.argumentsFollow ? ArgumentExtent::all : ArgumentExtent::title);
        char** const words = title.words;
        if (words != nullptr && words[0] != nullptr && words[0][0] != '\0') {
            text = visEncode(words[0]);
            if (title.cut && words[1] == nullptr && !options.argumentsFollow) text += cutMark;
        } else {
            text = name(node);
        }
    } else {
        text = name(node);
    }
    const bool parenthesised = !options.argumentsFollow && (pids || user);
    if (parenthesised)
        text += '(';
    else if (pids)
        text += ',';
    if (pids) text += std::to_string(node.record.pid);
    if (user) {
        if (pids || options.argumentsFollow) text += ',';
        text += users.nameOf(node.record.realUid);
    }
    if (parenthesised) text += ')';
    node.labelCache = std::make_unique<std::string>(std::move(text));
    return *node.labelCache;
}

std::span<const std::string> Labeller::arguments(const ProcessNode& node) {
    std::size_t count = 0;
    const ArgumentVector read = argumentVector(node, ArgumentExtent::all);
    char** const words = read.words;
    if (words != nullptr && words[0] != nullptr) {
        for (char** argument = words + 1; *argument != nullptr; ++argument, ++count) {
            if (count == encodedArguments.size()) encodedArguments.emplace_back();
            encodedArguments[count] = visEncode(*argument);
        }
    }
    if (read.cut) {
        if (count == 0) {
            if (encodedArguments.empty()) encodedArguments.emplace_back();
            encodedArguments[0].clear();
            ++count;
        }
        encodedArguments[count - 1] += cutMark;
    }
    return std::span<const std::string>(encodedArguments.data(), count);
}

ArgumentVector Labeller::argumentVector(const ProcessNode& node, ArgumentExtent extent) {
    if (vectorOwner == &node &&
        (vectorExtent == ArgumentExtent::all || extent == ArgumentExtent::title))
        return vector;
    vectorOwner = nullptr;
    vector = vectors.vectorOf(node.record.pid, extent);
    vectorOwner = &node;
    vectorExtent = extent;
    return vector;
}
