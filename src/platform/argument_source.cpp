#include "platform/argument_source.h"

#include <utility>

#include "platform/kvm_fields.h"

void ArgumentTable::set(pid_t pid, std::vector<std::string> arguments) {
    vectors[pid] = std::move(arguments);
}

char** ArgumentTable::vectorOf(pid_t pid) {
    const auto found = vectors.find(pid);
    if (found == vectors.end() || found->second.empty()) return nullptr;
    lastArguments = found->second;
    lastVector.clear();
    for (std::string& argument : lastArguments) lastVector.push_back(argument.data());
    lastVector.push_back(nullptr);
    return lastVector.data();
}

char** ArgumentSource::vectorOf(const kinfo_proc& record, const char*& failure) const {
    failure = nullptr;
    switch (origin) {
        case ArgumentOrigin::Memory:
            return memory->vectorOf(record.ki_pid);
        case ArgumentOrigin::Kernel:
            break;
    }
    return kvmArguments(kernel, record, failure);
}
