// The command name that a node keeps: raw as the process table gave it until
// it is encoded; most names need no encoding, and for those the encoded name
// is a view of the raw one, not a copy.
#pragma once

#include <cstdint>
#include <string_view>

// The raw name, or the encoded one as a view of text that outlives it (the
// raw name) or a copy of its own: 16 bytes, where a string takes 32 and a
// copy of the text besides once the text is longer than the string holds in
// place.
class EncodedName {
  public:
    enum class Form : std::uint8_t {
        raw,    // not encoded yet: the text is the process table's name
        view,   // encoded, the same bytes as the raw name, which it views
        owned,  // encoded into a copy of its own
    };

    EncodedName() = default;
    EncodedName(EncodedName&& other) noexcept;
    EncodedName& operator=(EncodedName&& other) noexcept;
    EncodedName(const EncodedName&) = delete;
    EncodedName& operator=(const EncodedName&) = delete;
    ~EncodedName() { release(); }

    // The raw name `text`, NUL-terminated, which must outlive the name.
    static EncodedName rawOf(const char* text);

    // A view of `text`, which must outlive the name.
    static EncodedName viewOf(std::string_view text);

    // A copy of `text`, owned by the name.
    static EncodedName copyOf(std::string_view text);

    bool encoded() const { return form != Form::raw; }
    // The encoded name once encoded(); the raw name before.
    std::string_view view() const { return {text, size}; }

  private:
    void release();

    const char* text = "";
    std::uint32_t size = 0;
    Form form = Form::raw;
};
