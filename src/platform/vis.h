// strvis and its flags, as FreeBSD declares them: from the directory of the
// system the build is for (libc's on FreeBSD, libbsd's on Linux).
#pragma once

#include "system_vis.h"
