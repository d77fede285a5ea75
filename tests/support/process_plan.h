// The plan of a process tree: what ProcessTree spawns for real, and what the
// tests of folding turn into records in memory. process_tree.h describes
// every field, the compact text and how a process is addressed.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ProcessPlan {
    // Every member has an initialiser, so that designated initialisers may
    // leave any of them out.
    std::string name{};
    std::vector<std::string> argv{};
    std::optional<uid_t> uid{};
    std::optional<gid_t> gid{};
    std::optional<std::string> title{};
    bool zombie = false;
    std::string label{};
    std::vector<ProcessPlan> children{};

    // The process at `key` (label or path) in the tree below this one,
    // this one included. Throws std::out_of_range when none or several match.
    ProcessPlan& at(std::string_view key);
    const ProcessPlan& at(std::string_view key) const;
};

// Parses compact text (see process_tree.h) into a plan.
ProcessPlan parsePlan(std::string_view compactText);
