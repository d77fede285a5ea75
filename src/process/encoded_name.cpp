#include "process/encoded_name.h"

#include <cstring>
#include <utility>

EncodedName::EncodedName(EncodedName&& other) noexcept
    : text(std::exchange(other.text, "")),
      size(std::exchange(other.size, 0)),
      form(std::exchange(other.form, Form::raw)) {}

EncodedName& EncodedName::operator=(EncodedName&& other) noexcept {
    if (this != &other) {
        release();
        text = std::exchange(other.text, "");
        size = std::exchange(other.size, 0);
        form = std::exchange(other.form, Form::raw);
    }
    return *this;
}

EncodedName EncodedName::rawOf(const char* text) {
    EncodedName name;
    name.text = text;
    name.size = static_cast<std::uint32_t>(std::strlen(text));
    return name;
}

EncodedName EncodedName::viewOf(std::string_view text) {
    EncodedName name;
    name.text = text.data();
    name.size = static_cast<std::uint32_t>(text.size());
    name.form = Form::view;
    return name;
}

EncodedName EncodedName::copyOf(std::string_view text) {
    if (text.empty()) return viewOf("");
    EncodedName name;
    char* copy = new char[text.size()];
    std::memcpy(copy, text.data(), text.size());
    name.text = copy;
    name.size = static_cast<std::uint32_t>(text.size());
    name.form = Form::owned;
    return name;
}

void EncodedName::release() {
    if (form == Form::owned) delete[] text;
    text = "";
    size = 0;
    form = Form::raw;
}
