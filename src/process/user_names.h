// User names for the label's user decoration.
#pragma once

#include <sys/types.h>

#include <string>

// The password-database name of `uid`, or the uid in decimal when it has no
// entry. Each uid is looked up once per run.
const std::string& userNameOf(uid_t uid);
