#include "platform/getopt_reset.h"

#include <getopt.h>
#include <unistd.h>

void resetGetopt() {
#if defined(__FreeBSD__)
    optreset = 1;
    optind = 1;
#else
    optind = 0;  // glibc: a full re-initialisation, not only a rewind
#endif
}
