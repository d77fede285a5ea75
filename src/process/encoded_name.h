// The encoded command name that a node caches: most names need no encoding,
// and for those the cache is a view of the record's own name, not a copy.
#pragma once

#include <cstdint>
#include <string_view>

// Either a view of text that outlives it (the record's name) or a copy of
// its own: 16 bytes, where a string takes 32 and a copy of the text besides
// once the text is longer than the string holds in place.
class EncodedName {
  public:
    EncodedName() = default;
    EncodedName(EncodedName&& other) noexcept;
    EncodedName& operator=(EncodedName&& other) noexcept;
    EncodedName(const EncodedName&) = delete;
    EncodedName& operator=(const EncodedName&) = delete;
    ~EncodedName() { release(); }

    // A view of `text`, which must outlive the name.
    static EncodedName viewOf(std::string_view text);

    // A copy of `text`, owned by the name.
    static EncodedName copyOf(std::string_view text);

    std::string_view view() const { return {text, size}; }
    bool empty() const { return size == 0; }

  private:
    void release();

    const char* text = "";
    std::uint32_t size = 0;
    bool owned = false;
};
