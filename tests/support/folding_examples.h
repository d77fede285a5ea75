// Examples of folding, written once and run at every level: the
// compaction state of every node, the printed tree in-process, and the
// output of the real program on spawned processes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/memory_records.h"
#include "process/process_node.h"
#include "support/process_plan.h"

// Processes are named by their path from the top (see ProcessPlan::at).
struct FoldingExample {
    const char* title;
    const char* tree;          // compact text of ProcessTree; printed with --pid of its top
    bool showTitles = false;   // -t: the titles in place of the names
    bool userChanges = false;  // -u: the user where it differs from the parent's
    std::vector<std::pair<const char*, uid_t>> users{};         // another real user
    std::vector<std::pair<const char*, const char*>> titles{};  // argv[0]
    const char* highlighted = nullptr;                          // the process given to -H, if any
    std::string output;                                         // to a pipe
    std::vector<std::pair<const char*, std::string>> folds{};   // (foldOf) every other alone
    std::vector<const char*> bold{};  // exactly these are highlighted after compaction
    bool topCompactable = true;
};

// A node's fold state in words, as the tables of expectations write it:
// alone, hidden, or headOf(the size of its group).
std::string foldOf(const ProcessNode& node);
inline const std::string alone = "alone";
inline const std::string hidden = "hidden";
std::string headOf(std::uint32_t groupSize);

void PrintTo(const FoldingExample& example, std::ostream* out);

// Every example.
const std::vector<FoldingExample>& foldingExamples();

// The example's description, with its users and titles.
ProcessPlan planOf(const FoldingExample& example);

// The example's processes as records in memory: pids 1, 2, ... in the order
// of the description (children after their parent, siblings in order, as
// the spawner starts them), with the pid of every path.
struct ExampleProcesses {
    std::vector<MemoryProcess> processes;
    std::map<std::string, pid_t> pidOfPath;  // every path the example names
    pid_t pid(const char* path) const { return pidOfPath.at(path); }
};
ExampleProcesses processesOf(const FoldingExample& example);
