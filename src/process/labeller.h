// The text that stands for a process in the output: its name, its label,
// its title and its arguments, all made here from its record.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/argument_source.h"
#include "platform/process_record.h"
#include "process/label_options.h"
#include "process/process_node.h"
#include "process/root_choice.h"
#include "process/user_names.h"

// Makes the labels of one run and keeps what they need: the options that
// shape them, the source that argument vectors are read from, the last
// vector read and the names of users. Names and labels are cached in the
// nodes. Text is encoded in the character-type locale in force when it is
// made.
class Labeller {
  public:
    // A root's label depends on its root flag and on the mode the roots
    // were chosen in: the labeller is made from the run's roots, once they
    // are chosen, so that no label can come before them. Argument vectors
    // come from `vectors`: the system's process table, which must stay open as long
    // as the labeller is used, or a test's.
    Labeller(const LabelOptions& options, ArgumentSource vectors, const Roots& roots);

    // The node's encoded command name, computed once: the key of the node in
    // an index by name. Needs nothing but the record, so that linking and
    // the root choice can key their indexes before any labeller exists.
    static std::string_view name(ProcessNode& node);

    // The node's label, computed once: its name or title, with the pid and
    // user decorations.
    std::string_view label(ProcessNode& node);

    // The node's arguments after the first, each encoded; none when its
    // process has no argument vector. Valid until the next call. Where the
    // read of the vector was cut (a process may have more arguments than
    // any execve could pass), the last one ends in the mark "...", or the
    // mark stands alone when no argument was read.
    std::span<const std::string> arguments(const ProcessNode& node);

    // What ends a text that was read only in part.
    static constexpr std::string_view cutMark = "...";

  private:
    // The node's argument vector, read as far as `extent` needs it, or none
    // (gone, hidden from this user, or never had one); throws
    // the source's Failure when a resource ran out. The last vector read is
    // kept: with titles and arguments both shown, each process's is read
    // once, whole.
    ArgumentVector argumentVector(const ProcessNode& node, ArgumentExtent extent);

    // Whether the node's label carries its user's name.
    bool showsUser(const ProcessNode& node) const;

    LabelOptions options;
    ArgumentSource vectors;
    bool usersRoots;  // the roots are a user's topmost processes, which never show the user
    UserNames users;
    const ProcessNode* vectorOwner = nullptr;  // the node whose vector `vector` is
    ArgumentVector vector;
    ArgumentExtent vectorExtent = ArgumentExtent::title;  // how far it was read
    std::vector<std::string> encodedArguments;            // reused from call to call
};
