// Fuzzes the parsers of the /proc layer: the status and stat texts of one
// process (either is the source of a record) and the NUL-separated argument
// text.
//
// Each input is used twice: as raw text (the parsers must stay within it and
// leave the record well formed), and as the fields of a process that the
// kernel's own formatting is applied to (the parsers must give those fields
// back).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/linux/proc_arguments.h"
#include "platform/linux/proc_stat.h"
#include "platform/linux/proc_status.h"
#include "platform/linux/proc_texts.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

void checkRawStatus(std::string_view text) {
    ProcessRecord record{};
    CommandName name;
    std::memset(name.text, 'x', sizeof name.text);  // no NUL until parsed
    record.kernel = true;
    StatusFields found = parseStatus(text, record, name);
    if (found.hasName) require(std::memchr(name.text, '\0', sizeof name.text) != nullptr);
    require(!record.kernel || found.hasKthread);
}

void checkStatusRoundTrip(FuzzedDataProvider& data) {
    std::string name = data.ConsumeRandomLengthString(80);
    name = name.substr(0, name.find('\0'));
    const pid_t parent = data.ConsumeIntegralInRange<pid_t>(0, 4194304);
    const uid_t uid = data.ConsumeIntegral<uid_t>();
    const int kthread = data.ConsumeIntegralInRange<int>(-1, 1);  // -1: no such line
    const MemoryProcess process{
        .pid = 7, .ppid = parent, .name = name, .uid = uid, .kernel = kthread == 1};
    const std::string text = statusText(process, kthread >= 0);

    ProcessRecord record{};
    CommandName parsed;
    StatusFields found = parseStatus(text, record, parsed);
    require(isComplete(found));
    require(found.hasKthread == (kthread >= 0));
    require(record.kernel == (kthread == 1));
    require(record.ppid == parent);
    require(record.realUid == uid);
    require(std::string(parsed.text) == name.substr(0, longestName));
}

void checkRawStat(std::string_view text) {
    ProcessRecord record{};
    CommandName name;
    std::memset(name.text, 'x', sizeof name.text);  // no NUL until parsed
    if (parseStat(text, record, name))
        require(std::memchr(name.text, '\0', sizeof name.text) != nullptr);
}

// The stat name is raw: any byte but NUL, parentheses and newlines included.
void checkStatRoundTrip(FuzzedDataProvider& data) {
    std::string name = data.ConsumeRandomLengthString(80);
    name = name.substr(0, name.find('\0'));
    const pid_t parent = data.ConsumeIntegralInRange<pid_t>(0, 4194304);
    const unsigned flags = data.ConsumeIntegral<unsigned>();
    std::string text = "7 (" + name + ") S " + std::to_string(parent) + " 7 7 0 -1 " +
                       std::to_string(flags) + " 112 0 0 0 0 0 0 0 20 0 1\n";
    ProcessRecord record{};
    record.kernel = true;
    CommandName parsed;
    require(parseStat(text, record, parsed));
    require(std::string(parsed.text) == name.substr(0, longestName));
    require(record.ppid == parent);
    require(record.kernel == ((flags & PF_KTHREAD) != 0));
}

void checkArguments(const std::uint8_t* bytes, std::size_t size) {
    std::vector<char> buffer(bytes, bytes + size);
    buffer.push_back('x');  // the byte of room that the reader keeps after the text
    std::vector<char*> argv{reinterpret_cast<char*>(1)};  // stale content is cleared
    splitArguments(buffer, size, argv);
    if (size == 0) {
        require(argv.empty());
        return;
    }
    require(!argv.empty() && argv.back() == nullptr);
    // The words, joined by NULs, are the text with one NUL at its end.
    std::string joined;
    for (std::size_t i = 0; i + 1 < argv.size(); ++i) {
        require(argv[i] >= buffer.data() && argv[i] < buffer.data() + buffer.size());
        joined.append(argv[i]);
        joined += '\0';
    }
    // A trailing run of empty words is padding and left out, but the first
    // word always stays.
    std::string expected(reinterpret_cast<const char*>(bytes), size);
    if (expected.back() != '\0') expected += '\0';
    while (expected.size() > 1 && expected[expected.size() - 2] == '\0') expected.pop_back();
    require(joined == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    checkRawStatus(std::string_view(reinterpret_cast<const char*>(bytes), size));
    checkRawStat(std::string_view(reinterpret_cast<const char*>(bytes), size));
    checkArguments(bytes, size);
    FuzzedDataProvider data(bytes, size);
    checkStatusRoundTrip(data);
    checkStatRoundTrip(data);
    return 0;
}
