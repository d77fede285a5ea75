// Where the argument vectors of a run's processes come from: the kernel,
// through the kernel-access handle, or a table of vectors kept in memory,
// which tests give in place of the kernel.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/argument_vector.h"
#include "platform/kvm.h"

// Argument vectors by pid, made in memory.
class ArgumentTable {
  public:
    // Gives the process of `pid` the vector `arguments`; an empty one means
    // that it has none (gone, hidden, or a kernel process or zombie). A
    // `cut` vector stands for the part of a longer one that a read gave.
    void set(pid_t pid, std::vector<std::string> arguments, bool cut = false);

    // The vector of `pid`, ended by a null pointer, as kvm_getargv gives it;
    // no words when it has none. Like kvm_getargv's, it is a copy that stays
    // valid until the next call, also when `set` changes the vector of the
    // process in between, as a process may rewrite its command line.
    ArgumentVector vectorOf(pid_t pid);

  private:
    struct Entry {
        std::vector<std::string> arguments;
        bool cut = false;
    };
    std::unordered_map<pid_t, Entry> vectors;
    std::vector<std::string> lastArguments;
    std::vector<char*> lastVector;
};

enum class ArgumentOrigin : std::uint8_t { Kernel, Memory };

class ArgumentSource {
  public:
    // Vectors read through `kvm`, which may be null when none is asked for.
    // Implicit: the kernel's handle is the program's one source.
    ArgumentSource(kvm_t* kvm) : origin(ArgumentOrigin::Kernel), kernel(kvm) {}  // NOLINT

    // Vectors from `table`, which must stay as long as the source is used.
    explicit ArgumentSource(ArgumentTable& table)
        : origin(ArgumentOrigin::Memory), memory(&table) {}

    // The argument vector of `record`'s process, as far as `extent` needs
    // it, or no words when it has none. When there is none because a
    // resource ran out rather than because of the process, `failure` says
    // why; otherwise it is null.
    ArgumentVector vectorOf(const kinfo_proc& record, ArgumentExtent extent,
                            const char*& failure) const;

  private:
    ArgumentOrigin origin;
    kvm_t* kernel = nullptr;
    ArgumentTable* memory = nullptr;
};
