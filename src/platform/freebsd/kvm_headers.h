// FreeBSD's kernel-memory access library and its process record.
#pragma once

#include <fcntl.h>
#include <kvm.h>
#include <limits.h>
#include <sys/param.h>
#include <sys/proc.h>
#include <sys/sysctl.h>
#include <sys/user.h>
