#include "process/encoded_name.h"

#include <cstring>
#include <utility>

EncodedName::EncodedName(EncodedName&& other) noexcept
    : text(std::exchange(other.text, "")),
      size(std::exchange(other.size, 0)),
      owned(std::exchange(other.owned, false)) {}

EncodedName& EncodedName::operator=(EncodedName&& other) noexcept {
    if (this != &other) {
        release();
        text = std::exchange(other.text, "");
        size = std::exchange(other.size, 0);
        owned = std::exchange(other.owned, false);
    }
    return *this;
}

EncodedName EncodedName::viewOf(std::string_view text) {
    EncodedName name;
    name.text = text.data();
    name.size = static_cast<std::uint32_t>(text.size());
    return name;
}

EncodedName EncodedName::copyOf(std::string_view text) {
    EncodedName name;
    if (text.empty()) return name;
    char* copy = new char[text.size()];
    std::memcpy(copy, text.data(), text.size());
    name.text = copy;
    name.size = static_cast<std::uint32_t>(text.size());
    name.owned = true;
    return name;
}

void EncodedName::release() {
    if (owned) delete[] text;
    text = "";
    size = 0;
    owned = false;
}
