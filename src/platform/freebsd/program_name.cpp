#include "platform/program_name.h"

#include <stdlib.h>

const char* programName() { return getprogname(); }
