#include "process/process_node.h"

#include <err.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/kvm_fields.h"
#include "process/user_names.h"
#include "process/visible_text.h"

void ProcessNode::adopt(ProcessNode& child) {
    if (&child == this) return;
    child.parent = this;
    if ((flags & Flag::numericSort) != 0) childrenByPid.append(&child);
    child.name();  // the child's key by name, computed before it is added
    childrenByName.append(&child);
}

char** ProcessNode::arguments() {
    const char* failure = nullptr;
    char** vector = kvmArguments(kvm, kinfo, failure);
    if (failure != nullptr) errx(1, "%s", failure);
    return vector;
}

std::string_view ProcessNode::name() {
    if (nameCache.empty()) {
        // Most names are left as they are by the encoding: those are not
        // copied, the record keeps them for the whole run.
        const std::size_t length = std::strlen(kinfo.ki_comm);
        if (isPrintableAscii(std::string_view(kinfo.ki_comm, length)))
            nameCache = EncodedName::viewOf(std::string_view(kinfo.ki_comm, length));
        else
            nameCache = EncodedName::copyOf(visEncode(std::string_view(kinfo.ki_comm, length)));
    }
    return nameCache.view();
}

namespace {

// Whether the label carries the user name.
bool showsUser(const ProcessNode& node) {
    if ((node.flags & Flag::uidChanges) == 0) return false;
    if (node.root) return (node.flags & Flag::user) == 0 && node.kinfo.ki_ruid != 0;
    return node.parent != nullptr && node.kinfo.ki_ruid != node.parent->kinfo.ki_ruid;
}

}  // namespace

std::string_view ProcessNode::label() {
    if (labelCache) return *labelCache;
    // Without a title, a pid or a user the label is the name: it is not
    // kept twice.
    const bool pids = (flags & Flag::showPids) != 0;
    const bool user = showsUser(*this);
    if ((flags & Flag::showTitles) == 0 && !pids && !user) return name();
    std::string text;
    if ((flags & Flag::showTitles) != 0) {
        // An empty title, as a process exec'd with an empty argv[0] has,
        // would leave the process without a visible label.
        char** vector = arguments();
        if (vector != nullptr && vector[0] != nullptr && vector[0][0] != '\0')
            text = visEncode(vector[0]);
        else
            text = name();
    } else {
        text = name();
    }
    const bool arguments = (flags & Flag::arguments) != 0;
    const bool parenthesised = !arguments && (pids || user);
    if (parenthesised)
        text += '(';
    else if (pids)
        text += ',';
    if (pids) text += std::to_string(kinfo.ki_pid);
    if (user) {
        if (pids || arguments) text += ',';
        // A user name comes from the user database, which a directory
        // service may fill: it is encoded like every other text.
        text += visEncode(userNameOf(kinfo.ki_ruid));
    }
    if (parenthesised) text += ')';
    labelCache = std::make_unique<std::string>(std::move(text));
    return *labelCache;
}

bool ProcessNode::sameSubtree(ProcessNode& other) {
    ProcessNode* a = this;
    ProcessNode* b = &other;
    // Walks both chains of first children; highlights pass only once the
    // whole comparison has succeeded.
    for (;;) {
        if (a->label() != b->label()) return false;
        if (a->childrenByName.empty() != b->childrenByName.empty()) return false;
        if (a->childrenByName.empty()) break;
        a = a->firstChild();
        b = b->firstChild();
    }
    passHighlightFrom(other);
    return true;
}

void ProcessNode::passHighlightFrom(const ProcessNode& other) {
    ProcessNode* to = this;
    for (const ProcessNode* from = &other; to != nullptr && from != nullptr;) {
        if (from->highlight) to->highlight = true;
        to = to->firstChild();
        from = from->firstChild();
    }
}
