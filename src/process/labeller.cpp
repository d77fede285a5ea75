#include "process/labeller.h"

#include <cstring>
#include <memory>
#include <utility>

#include "platform/vis.h"
#include "process/user_names.h"

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

Labeller::Labeller(const LabelOptions& labelOptions, kvm_t* handle, const Roots&)
    : options(labelOptions), kvm(handle) {}

std::string Labeller::visEncode(const char* text) {
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

std::string_view Labeller::name(ProcessNode& node) {
    if (node.nameCache.empty()) {
        // Most names are left as they are by the encoding: those are not
        // copied, the record keeps them for the whole run.
        const char* command = node.kinfo.ki_comm;
        const std::size_t length = std::strlen(command);
        if (isPlainAscii(command, length))
            node.nameCache = EncodedName::viewOf(std::string_view(command, length));
        else
            node.nameCache = EncodedName::copyOf(visEncode(command));
    }
    return node.nameCache.view();
}

bool Labeller::showsUser(const ProcessNode& node) const {
    if (!options.userChanges) return false;
    if (node.root) return !options.userRoots && node.kinfo.ki_ruid != 0;
    return node.parent != nullptr && node.kinfo.ki_ruid != node.parent->kinfo.ki_ruid;
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
        char** title = argumentVector(node);
        if (title != nullptr && title[0] != nullptr)
            text = visEncode(title[0]);
        else
            text = name(node);
    } else {
        text = name(node);
    }
    const bool parenthesised = !options.argumentsFollow && (pids || user);
    if (parenthesised)
        text += '(';
    else if (pids)
        text += ',';
    if (pids) text += std::to_string(node.kinfo.ki_pid);
    if (user) {
        if (pids || options.argumentsFollow) text += ',';
        text += users.nameOf(node.kinfo.ki_ruid);
    }
    if (parenthesised) text += ')';
    node.labelCache = std::make_unique<std::string>(std::move(text));
    return *node.labelCache;
}

std::span<const std::string> Labeller::arguments(const ProcessNode& node) {
    std::size_t count = 0;
    char** words = argumentVector(node);
    if (words != nullptr && words[0] != nullptr) {
        for (char** argument = words + 1; *argument != nullptr; ++argument, ++count) {
            if (count == encodedArguments.size()) encodedArguments.emplace_back();
            encodedArguments[count] = visEncode(*argument);
        }
    }
    return std::span<const std::string>(encodedArguments.data(), count);
}

char** Labeller::argumentVector(const ProcessNode& node) {
    if (vectorOwner != &node.kinfo) {
        vector = kvm_getargv(kvm, &node.kinfo, 0);
        vectorOwner = &node.kinfo;
    }
    return vector;
}
