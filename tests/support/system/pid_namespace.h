// A pid namespace of a test's own, for runs that read the whole process
// table: while one lives, the processes that this process starts are
// members of a new pid namespace, the first of them its init (pid 1), and a
// /proc mounted for them (ProgramOptions::privateProc) lists them alone, so
// that what such a run reads does not depend on what else the machine runs.
// Linux's; needs root.
#pragma once

#include <string>

class ChildPidNamespace {
  public:
    // Start the processes that the namespace is to hold first: once its init
    // ends, no process can start in it.
    ChildPidNamespace();
    // From then on, the processes this process starts are born in its own
    // pid namespace again.
    ~ChildPidNamespace();
    ChildPidNamespace(const ChildPidNamespace&) = delete;
    ChildPidNamespace& operator=(const ChildPidNamespace&) = delete;

    // Why no namespace was made; empty when one was.
    const std::string& unavailable() const { return reason; }

  private:
    int ownNamespace = -1;  // this process's own, to go back to
    std::string reason;
};
