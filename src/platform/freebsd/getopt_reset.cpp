#include "platform/getopt_reset.h"

#include <getopt.h>
#include <unistd.h>

void resetGetopt() {
    optreset = 1;
    optind = 1;
}
