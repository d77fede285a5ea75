// strvis and its flags: libc's on FreeBSD, libbsd's elsewhere.
#pragma once

#if defined(__FreeBSD__)
#include <vis.h>
#else
#define LIBBSD_NETBSD_VIS  // strvis as NetBSD and FreeBSD declare it
#include <bsd/vis.h>
#endif
