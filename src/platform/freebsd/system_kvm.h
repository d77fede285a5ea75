// FreeBSD's own kernel-memory access operations and process record.
#pragma once

#include <fcntl.h>
#include <kvm.h>
#include <limits.h>
#include <sys/param.h>
#include <sys/proc.h>
#include <sys/sysctl.h>
#include <sys/user.h>
