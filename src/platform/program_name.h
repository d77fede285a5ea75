// The name that err(3) and warn(3) put before their messages, for tests that
// compare those messages: each libc keeps it in its own way. Built into the
// tests alone.
#pragma once

const char* programName();
