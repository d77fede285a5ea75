// How the test side (support/process_tree.cpp) hands one process of a tree to
// the spawn_tree tool, and how every process reports back. Header-only: the
// tool links nothing of the test support library.
//
// Every process of the tree is an image of spawn_tree started with exactly
// the argument vector the test asked for. Two descriptors are inherited:
//   3: a memory file holding the plan of the process and its subtree;
//   4: the write end of the report pipe, shared by the whole tree.
#pragma once

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace process_tree_wire {

constexpr int planFd = 3;
constexpr int reportFd = 4;

// One process as spawn_tree sees it. The uid and gid are resolved: a child
// without its own carries its parent's, so that every process that must run
// under another user switches by itself after forking its children.
struct Node {
    std::uint32_t index = 0;  // preorder position in the tree
    bool switchUser = false;
    bool zombie = false;
    bool retitle = false;
    std::uint32_t uid = 0;
    std::uint32_t gid = 0;
    std::string name;
    std::string image;  // the file to exec, which gives the process its name
    std::vector<std::string> argv;
    std::string title;
    std::vector<Node> children;
};

// One fixed-size message per process, written atomically (well below
// PIPE_BUF). An empty error means "in place".
struct Report {
    std::int32_t index;
    std::int32_t pid;
    char error[248];
};

// dup2 that also works when `from` already is `to`: the descriptor then
// keeps its close-on-exec flag, which must be cleared for the next image.
inline bool moveDescriptor(int from, int to) {
    if (from == to) return fcntl(to, F_SETFD, 0) == 0;
    return dup2(from, to) == to;
}

inline void putNumber(std::string& out, std::uint32_t value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

inline void putText(std::string& out, std::string_view text) {
    putNumber(out, static_cast<std::uint32_t>(text.size()));
    out.append(text);
}

inline void encode(const Node& node, std::string& out) {
    putNumber(out, node.index);
    putNumber(out,
              (node.switchUser ? 1u : 0u) | (node.zombie ? 2u : 0u) | (node.retitle ? 4u : 0u));
    putNumber(out, node.uid);
    putNumber(out, node.gid);
    putText(out, node.name);
    putText(out, node.image);
    putNumber(out, static_cast<std::uint32_t>(node.argv.size()));
    for (const std::string& argument : node.argv) putText(out, argument);
    putText(out, node.title);
    putNumber(out, static_cast<std::uint32_t>(node.children.size()));
    for (const Node& child : node.children) encode(child, out);
}

class Reader {
  public:
    explicit Reader(std::string_view bytes) : rest(bytes) {}

    bool number(std::uint32_t& value) {
        if (rest.size() < sizeof value) return false;
        std::memcpy(&value, rest.data(), sizeof value);
        rest.remove_prefix(sizeof value);
        return true;
    }

    bool text(std::string& value) {
        std::uint32_t size = 0;
        if (!number(size) || rest.size() < size) return false;
        value.assign(rest.data(), size);
        rest.remove_prefix(size);
        return true;
    }

    bool node(Node& out) {
        std::uint32_t bits = 0;
        std::uint32_t count = 0;
        if (!number(out.index) || !number(bits) || !number(out.uid) || !number(out.gid) ||
            !text(out.name) || !text(out.image) || !number(count))
            return false;
        out.switchUser = (bits & 1u) != 0;
        out.zombie = (bits & 2u) != 0;
        out.retitle = (bits & 4u) != 0;
        out.argv.resize(count);
        for (std::string& argument : out.argv)
            if (!text(argument)) return false;
        if (!text(out.title) || !number(count)) return false;
        out.children.resize(count);
        for (Node& child : out.children)
            if (!node(child)) return false;
        return true;
    }

    bool atEnd() const { return rest.empty(); }

  private:
    std::string_view rest;
};

}  // namespace process_tree_wire
