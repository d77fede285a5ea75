// A command name as the /proc parsers leave it.
#pragma once

#include "platform/kvm.h"

// At most COMMLEN bytes and a NUL.
struct CommandName {
    char text[COMMLEN + 1] = {};
};
