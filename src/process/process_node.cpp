#include "process/process_node.h"

#include <err.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/kvm_fields.h"
#include "platform/vis.h"
#include "process/user_names.h"

void ProcessNode::adopt(ProcessNode& child) {
    if (&child == this) return;
    child.parent = this;
    if ((flags & Flag::numericSort) != 0) childrenByPid.append(&child);
    child.name();  // the child's key by name, computed before it is added
    childrenByName.append(&child);
}

namespace {

// Whether every byte of `text` is printable ASCII (space to tilde), which
// strvis with our flags leaves as it is in every locale: such a text, as
// most names and arguments are, needs no encoding pass at all.
bool isPlainAscii(const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte > 0x7e) return false;
    }
    return true;
}

}  // namespace

std::string ProcessNode::visEncode(const char* text) {
    std::size_t length = std::strlen(text);
    if (isPlainAscii(text, length)) return std::string(text, length);
    // strvis needs room for four bytes per input byte; a short text is
    // encoded on the stack, so that the result is sized to fit (most names
    // then need no heap memory at all).
    char small[4 * 64 + 1];
    if (4 * length + 1 <= sizeof small) {
        int written = strvis(small, text, VIS_NOSLASH | VIS_NL | VIS_TAB);
        return std::string(small, written > 0 ? static_cast<std::size_t>(written) : 0);
    }
    std::string encoded(4 * length + 1, '\0');
    int written = strvis(encoded.data(), text, VIS_NOSLASH | VIS_NL | VIS_TAB);
    encoded.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return encoded;
}

char** ProcessNode::arguments() {
    errno = 0;
    char** vector = kvm_getargv(kvm, &kinfo, 0);
    if (vector == nullptr) {
        if (const char* failure = kvmArgvFailure(kvm)) errx(1, "%s", failure);
    }
    return vector;
}

std::string_view ProcessNode::name() {
    if (nameCache.empty()) {
        // Most names are left as they are by the encoding: those are not
        // copied, the record keeps them for the whole run.
        const std::size_t length = std::strlen(kinfo.ki_comm);
        if (isPlainAscii(kinfo.ki_comm, length))
            nameCache = EncodedName::viewOf(std::string_view(kinfo.ki_comm, length));
        else
            nameCache = EncodedName::copyOf(visEncode(kinfo.ki_comm));
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
        char** vector = arguments();
        if (vector != nullptr && vector[0] != nullptr)
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
        text += userNameOf(kinfo.ki_ruid);
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
