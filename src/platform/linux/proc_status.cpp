#include "platform/linux/proc_status.h"

#include <charconv>
#include <cstring>

namespace {

// Decodes the escapes the kernel writes into a name and stores at most
// longestName bytes, NUL-terminated.
void decodeName(std::string_view escaped, char (&name)[longestName + 1]) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < escaped.size() && out < longestName; ++i) {
        char c = escaped[i];
        if (c == '\\' && i + 1 < escaped.size()) {
            if (escaped[i + 1] == 'n') {
                c = '\n';
                ++i;
            } else if (escaped[i + 1] == '\\') {
                ++i;
            }
        }
        name[out++] = c;
    }
    name[out] = '\0';
}

// Parses the leading decimal number of `text` after skipping blanks.
template <typename Number>
bool parseLeadingNumber(std::string_view text, Number& value) {
    std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) return false;
    const char* first = text.data() + start;
    const char* last = text.data() + text.size();
    return std::from_chars(first, last, value).ec == std::errc{};
}

bool startsWith(std::string_view line, std::string_view key) {
    return line.size() >= key.size() && std::memcmp(line.data(), key.data(), key.size()) == 0;
}

}  // namespace

StatusFields parseStatus(std::string_view text, ProcessRecord& record, CommandName& name) {
    StatusFields found;
    record.kernel = false;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (startsWith(line, "Name:")) {
            std::string_view value = line.substr(5);
            if (!value.empty() && value.front() == '\t') value.remove_prefix(1);
            decodeName(value, name.text);
            found.hasName = true;
        } else if (startsWith(line, "PPid:")) {
            found.hasParent = parseLeadingNumber(line.substr(5), record.ppid);
        } else if (startsWith(line, "Uid:")) {
            found.hasUid = parseLeadingNumber(line.substr(4), record.realUid);
        } else if (startsWith(line, "Kthread:")) {
            int value = 0;
            found.hasKthread = parseLeadingNumber(line.substr(8), value);
            record.kernel = found.hasKthread && value != 0;
            break;
        }
    }
    return found;
}

bool isComplete(const StatusFields& status) {
    return status.hasName && status.hasParent && status.hasUid;
}
