#include "platform/getopt_reset.h"

#include <getopt.h>
#include <unistd.h>

void resetGetopt() {
    optind = 0;  // glibc: a full re-initialisation, not only a rewind
}
