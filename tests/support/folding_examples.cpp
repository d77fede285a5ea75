#include "support/folding_examples.h"

#include "process/user_names.h"
#include "support/escapes.h"

void PrintTo(const FoldingExample& example, std::ostream* out) { *out << example.title; }

const std::vector<FoldingExample>& foldingExamples() {
    static const std::vector<FoldingExample> examples = {
        {.title = "NestedGroupsFoldInnerThenOuter",
         .tree = "init(sh(sleep*2) sh(sleep*2))",
         .output = "init---2*[sh---2*[sleep]]\n",
         .folds = {{"init/sh#1", headOf(2)},
                   {"init/sh#2", hidden},
                   {"init/sh#1/sleep#1", headOf(2)},
                   {"init/sh#1/sleep#2", hidden},
                   {"init/sh#2/sleep#1", headOf(2)},
                   {"init/sh#2/sleep#2", hidden}}},
        {.title = "OnlyTheFirstChildIsCompared",
         .tree = "init(sh(sleep*2) sh(sleep))",
         .output = "init---2*[sh---2*[sleep]]\n",
         .folds = {{"init/sh#1", headOf(2)},
                   {"init/sh#2", hidden},
                   {"init/sh#1/sleep#1", headOf(2)},
                   {"init/sh#1/sleep#2", hidden}}},
        {.title = "TheHeadsSubtreeIsPrinted",
         .tree = "init(sh(sleep) sh(sleep*2))",
         .output = "init---2*[sh---sleep]\n",
         .folds = {{"init/sh#1", headOf(2)},
                   {"init/sh#2", hidden},
                   {"init/sh#2/sleep#1", headOf(2)},
                   {"init/sh#2/sleep#2", hidden}}},
        {.title = "GroupOverSeveralLines",
         .tree = "init(sh(sleep sleep(cat)) sh(sleep sleep(cat)))",
         .output = "init---2*[sh-+-sleep]\n"
                   "             `-sleep---cat\n",
         .folds = {{"init/sh#1", headOf(2)}, {"init/sh#2", hidden}}},
        {.title = "ParentsWithDifferentChildrenAreNotFolded",
         .tree = "init(tmux(bash top) tmux(bash top))",
         .output = "init-+-tmux-+-bash\n"
                   "     |      `-top\n"
                   "     `-tmux-+-bash\n"
                   "            `-top\n",
         .topCompactable = false},
        {.title = "UncompactableParentsStillFoldTheirChildren",
         .tree = "init(sh(a*2 b) sh(a*2 b))",
         .output = "init-+-sh-+-2*[a]\n"
                   "     |    `-b\n"
                   "     `-sh-+-2*[a]\n"
                   "          `-b\n",
         .folds = {{"init/sh#1/a#1", headOf(2)},
                   {"init/sh#1/a#2", hidden},
                   {"init/sh#2/a#1", headOf(2)},
                   {"init/sh#2/a#2", hidden}},
         .topCompactable = false},
        {.title = "ThreeLeavesMakeOneGroupOfThree",
         .tree = "init(getty*3)",
         .output = "init---3*[getty]\n",
         .folds = {{"init/getty#1", headOf(3)},
                   {"init/getty#2", hidden},
                   {"init/getty#3", hidden}}},
        {.title = "WithAndWithoutChildrenStayApart",
         .tree = "init(sh(sleep) sh)",
         .output = "init-+-sh---sleep\n"
                   "     `-sh\n"},
        {.title = "DifferentTitlesStayApart",
         .tree = "init(w w)",
         .showTitles = true,
         .titles = {{"init/w#1", "w one"}, {"init/w#2", "w two"}},
         .output = "init-+-w one\n"
                   "     `-w two\n",
         .topCompactable = false},
        {.title = "DifferentUsersStayApart",
         .tree = "init(w w)",
         .userChanges = true,
         .users = {{"init/w#2", 65534}},
         .output = "init-+-w\n"
                   "     `-w(" +
                   UserNames().nameOf(65534) + ")\n",
         .topCompactable = false},
        {.title = "TwoGroupsWithTwoLabels",
         .tree = "init(aa*2 zz*2)",
         .output = "init-+-2*[aa]\n"
                   "     `-2*[zz]\n",
         .folds = {{"init/aa#1", headOf(2)},
                   {"init/aa#2", hidden},
                   {"init/zz#1", headOf(2)},
                   {"init/zz#2", hidden}},
         .topCompactable = false},
        {.title = "ThirdMatchesSecond",
         .tree = "init(x(y) x x)",
         .output = "init-+-x---y\n"
                   "     `-2*[x]\n",
         .folds = {{"init/x#2", headOf(2)}, {"init/x#3", hidden}}},
        {.title = "UncompactableSiblingIsNeitherHeadNorFolded",
         .tree = "init(x x(p q) x)",
         .output = "init-+-2*[x]\n"
                   "     `-x-+-p\n"
                   "         `-q\n",
         .folds = {{"init/x#1", headOf(2)}, {"init/x#3", hidden}},
         .topCompactable = false},
        {.title = "ALongRunInClasses",
         .tree = "init(w*5(a) w*4(b) w*3(a) w)",
         .output = "init-+-8*[w---a]\n"
                   "     |-4*[w---b]\n"
                   "     `-w\n",
         .folds = {{"init/w#1", headOf(8)},
                   {"init/w#2", hidden},
                   {"init/w#3", hidden},
                   {"init/w#4", hidden},
                   {"init/w#5", hidden},
                   {"init/w#6", headOf(4)},
                   {"init/w#7", hidden},
                   {"init/w#8", hidden},
                   {"init/w#9", hidden},
                   {"init/w#10", hidden},
                   {"init/w#11", hidden},
                   {"init/w#12", hidden}}},
        {.title = "HighlightPassesToTheHeadAndDownItsChain",
         .tree = "init(sh(sleep*2) sh(sleep*2))",
         .highlighted = "init/sh#2/sleep#2",
         .output = bold("init") + "---2*[" + bold("sh") + "---2*[" + bold("sleep") + "]]\n",
         .folds = {{"init/sh#1", headOf(2)},
                   {"init/sh#2", hidden},
                   {"init/sh#1/sleep#1", headOf(2)},
                   {"init/sh#1/sleep#2", hidden},
                   {"init/sh#2/sleep#1", headOf(2)},
                   {"init/sh#2/sleep#2", hidden}},
         .bold = {"init", "init/sh#1", "init/sh#2", "init/sh#1/sleep#1", "init/sh#2/sleep#1",
                  "init/sh#2/sleep#2"}},
        {.title = "HighlightOffTheFirstChildChainStaysBehind",
         .tree = "init(sh(sleep sleep(cat)) sh(sleep sleep(cat)))",
         .highlighted = "init/sh#2/sleep#2/cat",
         .output =
             bold("init") + "---2*[" + bold("sh") + "-+-sleep]\n" + "             `-sleep---cat\n",
         .folds = {{"init/sh#1", headOf(2)}, {"init/sh#2", hidden}},
         .bold = {"init", "init/sh#1", "init/sh#2", "init/sh#2/sleep#2", "init/sh#2/sleep#2/cat"}},
        {.title = "HighlightOfAnUnfoldedNodeStaysPut",
         .tree = "init(x(y) x x)",
         .highlighted = "init/x#1/y",
         .output = bold("init") + "-+-" + bold("x") + "---" + bold("y") + "\n     `-2*[x]\n",
         .folds = {{"init/x#2", headOf(2)}, {"init/x#3", hidden}},
         .bold = {"init", "init/x#1", "init/x#1/y"}},
    };
    return examples;
}

ProcessPlan planOf(const FoldingExample& example) {
    ProcessPlan top = parsePlan(example.tree);
    for (const auto& [path, uid] : example.users) top.at(path).uid = uid;
    for (const auto& [path, title] : example.titles) top.at(path).argv = {title};
    return top;
}

namespace {

// Adds `plan` and its subtree in preorder, giving pids from `next` on.
void addProcesses(const ProcessPlan& plan, pid_t parent, uid_t inheritedUid, pid_t& next,
                  std::map<const ProcessPlan*, pid_t>& pids,
                  std::vector<MemoryProcess>& processes) {
    struct Pending {
        const ProcessPlan* plan;
        pid_t parent;
        uid_t uid;
    };
    std::vector<Pending> stack{{&plan, parent, inheritedUid}};
    while (!stack.empty()) {
        Pending item = stack.back();
        stack.pop_back();
        const pid_t pid = next++;
        const uid_t uid = item.plan->uid.value_or(item.uid);
        pids[item.plan] = pid;
        processes.push_back({.pid = pid,
                             .ppid = item.parent,
                             .name = item.plan->name,
                             .uid = uid,
                             .arguments = item.plan->argv.empty()
                                              ? std::vector<std::string>{item.plan->name}
                                              : item.plan->argv});
        for (auto child = item.plan->children.rbegin(); child != item.plan->children.rend();
             ++child)
            stack.push_back({&*child, pid, uid});
    }
}

}  // namespace

ExampleProcesses processesOf(const FoldingExample& example) {
    const ProcessPlan top = planOf(example);
    ExampleProcesses result;
    std::map<const ProcessPlan*, pid_t> pids;
    pid_t next = 1;
    addProcesses(top, 0, 0, next, pids, result.processes);
    std::vector<const char*> paths;
    for (const auto& [path, fold] : example.folds) paths.push_back(path);
    for (const char* path : example.bold) paths.push_back(path);
    if (example.highlighted != nullptr) paths.push_back(example.highlighted);
    for (const char* path : paths) result.pidOfPath[path] = pids.at(&top.at(path));
    return result;
}

std::string foldOf(const ProcessNode& node) {
    switch (node.fold.part()) {
        case Fold::hidden:
            return hidden;
        case Fold::head:
            return headOf(*node.fold.group());
        case Fold::alone:
            break;
    }
    return alone;
}

std::string headOf(std::uint32_t groupSize) { return "head of " + std::to_string(groupSize); }
