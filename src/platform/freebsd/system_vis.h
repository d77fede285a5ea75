// strvis and its flags from FreeBSD's libc.
#pragma once

#include <vis.h>
