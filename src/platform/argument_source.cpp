#include "platform/argument_source.h"

#include <utility>

#include "platform/kvm_fields.h"

void ArgumentTable::set(pid_t pid, std::vector<std::string> arguments, bool cut) {
    vectors[pid] = {.arguments = std::move(arguments), .cut = cut};
}

ArgumentVector ArgumentTable::vectorOf(pid_t pid) {
    const auto found = vectors.find(pid);
    if (found == vectors.end() || found->second.arguments.empty()) return {};
    lastArguments = found->second.arguments;
    lastVector.clear();
    for (std::string& argument : lastArguments) lastVector.push_back(argument.data());
    lastVector.push_back(nullptr);
    return {.words = lastVector.data(), .cut = found->second.cut};
}

ArgumentVector ArgumentSource::vectorOf(const kinfo_proc& record, ArgumentExtent extent,
                                        const char*& failure) const {
    failure = nullptr;
    switch (origin) {
        case ArgumentOrigin::Memory:
            return memory->vectorOf(record.ki_pid);
        case ArgumentOrigin::Kernel:
            break;
    }
    return kvmArguments(kernel, record, extent, failure);
}
