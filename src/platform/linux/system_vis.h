// strvis and its flags from libbsd, declared as NetBSD and FreeBSD declare
// them.
#pragma once

#define LIBBSD_NETBSD_VIS
#include <bsd/vis.h>
