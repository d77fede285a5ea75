#include "support/system/pid_namespace.h"

ChildPidNamespace::ChildPidNamespace() : reason("FreeBSD has no pid namespaces") {}

// No namespace was made, so there is none to leave.
ChildPidNamespace::~ChildPidNamespace() { static_cast<void>(ownNamespace); }
