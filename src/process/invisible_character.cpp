#include "process/invisible_character.h"

#include <algorithm>

#include "process/default_ignorable.h"

namespace {

// Format characters that are not default-ignorable but show nothing: the
// interlinear annotation anchor, separator and terminator.
constexpr CodePointRange interlinearAnnotation{0xFFF9, 0xFFFB};

}  // namespace

bool isInvisibleCharacter(char32_t code) {
    // Most characters of a name lie below the first of them: one comparison.
    if (code < defaultIgnorableRanges.front().first) return false;
    if (code >= interlinearAnnotation.first && code <= interlinearAnnotation.last) return true;
    // The first range that ends at or after `code`; the ranges are sorted
    // and disjoint, so it holds `code` exactly when it starts at or before.
    const auto* range =
        std::lower_bound(defaultIgnorableRanges.begin(), defaultIgnorableRanges.end(), code,
                         [](const CodePointRange& r, char32_t c) { return r.last < c; });
    return range != defaultIgnorableRanges.end() && range->first <= code;
}
