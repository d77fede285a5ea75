// The four kernel-memory access operations and the process record.
//
// They are FreeBSD's own interface (<kvm.h>, -lkvm). The build puts the
// directory of the system it builds for on the include path: freebsd/ gives
// the system's declarations, linux/ declares the same operations, which it
// implements over /proc, with a record that carries only the members the
// program reads.
#pragma once

#include "system_kvm.h"
