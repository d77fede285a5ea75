#include "support/process_plan.h"

#include <charconv>
#include <stdexcept>
#include <utility>

namespace {

// ---- Addressing ------------------------------------------------------------

// One step of a path: a name and which of the siblings of that name (from 1;
// 0 when not given).
struct Step {
    std::string_view name;
    std::size_t ordinal = 0;
};

Step parseStep(std::string_view text) {
    Step step{text, 0};
    std::size_t hash = text.rfind('#');
    if (hash == std::string_view::npos) return step;
    std::size_t ordinal = 0;
    const char* first = text.data() + hash + 1;
    const char* last = text.data() + text.size();
    auto [stop, ec] = std::from_chars(first, last, ordinal);
    if (ec != std::errc{} || stop != last || ordinal == 0) return step;
    return Step{text.substr(0, hash), ordinal};
}

template <typename Plan>
void collectByLabel(Plan& node, std::string_view label, std::vector<Plan*>& found) {
    if (!label.empty() && node.label == label) found.push_back(&node);
    for (auto& child : node.children) collectByLabel(child, label, found);
}

// The processes whose path from `top` is `path`.
template <typename Plan>
std::vector<Plan*> findByPath(Plan& top, std::string_view path) {
    std::vector<Plan*> level{&top};
    bool first = true;
    while (!level.empty()) {
        std::size_t slash = path.find('/');
        Step step = parseStep(path.substr(0, slash));
        std::vector<Plan*> next;
        auto consider = [&](auto& candidates) {
            std::size_t seen = 0;
            for (auto& candidate : candidates) {
                if (candidate.name != step.name) continue;
                ++seen;
                if (step.ordinal == 0 || seen == step.ordinal) next.push_back(&candidate);
            }
        };
        if (first) {
            if (top.name == step.name && step.ordinal <= 1) next.push_back(&top);
        } else {
            for (Plan* parent : level) consider(parent->children);
        }
        first = false;
        level = std::move(next);
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return level;
}

template <typename Plan>
Plan& findOne(Plan& top, std::string_view key) {
    std::vector<Plan*> found;
    collectByLabel(top, key, found);
    if (found.empty()) found = findByPath(top, key);
    if (found.size() == 1) return *found.front();
    throw std::out_of_range("process tree: " + std::string(found.empty() ? "no" : "more than one") +
                            " process at \"" + std::string(key) + "\"");
}

// ---- Compact text ----------------------------------------------------------

class CompactParser {
  public:
    explicit CompactParser(std::string_view text) : rest(text) {}

    ProcessPlan top() {
        std::vector<ProcessPlan> nodes = node();
        skipBlanks();
        if (nodes.size() != 1 || !rest.empty()) error("one top process expected");
        return std::move(nodes.front());
    }

  private:
    std::string_view rest;

    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
    static bool isSpecial(char c) { return isBlank(c) || c == '(' || c == ')' || c == '*'; }

    [[noreturn]] void error(const std::string& what) const {
        throw std::invalid_argument("process tree text: " + what + " at \"" + std::string(rest) +
                                    "\"");
    }

    void skipBlanks() {
        while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
    }

    std::vector<ProcessPlan> node() {
        skipBlanks();
        std::size_t length = 0;
        while (length < rest.size() && !isSpecial(rest[length])) ++length;
        if (length == 0) error("name expected");
        ProcessPlan plan;
        plan.name = std::string(rest.substr(0, length));
        rest.remove_prefix(length);
        std::size_t count = 1;
        if (!rest.empty() && rest.front() == '*') {
            rest.remove_prefix(1);
            auto [stop, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), count);
            if (ec != std::errc{} || count == 0) error("count expected");
            rest.remove_prefix(static_cast<std::size_t>(stop - rest.data()));
        }
        if (!rest.empty() && rest.front() == '(') {
            rest.remove_prefix(1);
            for (;;) {
                skipBlanks();
                if (rest.empty()) error("')' expected");
                if (rest.front() == ')') break;
                for (ProcessPlan& child : node()) plan.children.push_back(std::move(child));
            }
            rest.remove_prefix(1);
        }
        return std::vector<ProcessPlan>(count, plan);
    }
};

}  // namespace

ProcessPlan& ProcessPlan::at(std::string_view key) { return findOne(*this, key); }

const ProcessPlan& ProcessPlan::at(std::string_view key) const { return findOne(*this, key); }

ProcessPlan parsePlan(std::string_view compactText) { return CompactParser(compactText).top(); }
