# Cross-building vindle for FreeBSD 13.5 on amd64 with clang and lld, against
# the files of a FreeBSD base system unpacked into a directory (the sysroot):
#
#   cmake -S . -B build-freebsd -G Ninja \
#       -DCMAKE_TOOLCHAIN_FILE=cmake/freebsd-cross.cmake \
#       -DVINDLE_FREEBSD_SYSROOT=/path/to/sysroot -DVINDLE_BUILD_TESTS=OFF
#
# The sysroot needs usr/include (libc++'s headers among them), the shared
# libraries vindle links against with their link names, and the C runtime
# objects. `make test-freebsd` runs this and checks what comes out.
set(CMAKE_SYSTEM_NAME FreeBSD)
set(CMAKE_SYSTEM_VERSION 13.5)
set(CMAKE_SYSTEM_PROCESSOR amd64)

# CMake reads this file again for each compile check, in a directory of its
# own; the sysroot goes along with it.
set(VINDLE_FREEBSD_SYSROOT "${VINDLE_FREEBSD_SYSROOT}" CACHE PATH
  "The FreeBSD base system to build against")
set(VINDLE_FREEBSD_PKG_CONFIG_PATH "${VINDLE_FREEBSD_PKG_CONFIG_PATH}" CACHE STRING
  "Further directories of pkg-config files written for the target, searched first")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES
  VINDLE_FREEBSD_SYSROOT VINDLE_FREEBSD_PKG_CONFIG_PATH)
if(NOT IS_DIRECTORY "${VINDLE_FREEBSD_SYSROOT}/usr/include")
  message(FATAL_ERROR "VINDLE_FREEBSD_SYSROOT must name an unpacked FreeBSD base system "
    "(a directory with usr/include); it is '${VINDLE_FREEBSD_SYSROOT}'")
endif()
set(CMAKE_SYSROOT "${VINDLE_FREEBSD_SYSROOT}")

set(triple x86_64-unknown-freebsd13.5)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${triple})
# FreeBSD's C++ runtime is libc++ (with libcxxrt); clang would otherwise
# look for libstdc++ for this target. lld is the linker FreeBSD uses itself.
set(CMAKE_CXX_FLAGS_INIT "-stdlib=libc++")
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -stdlib=libc++")
endforeach()

# Headers, libraries and CMake packages come from the sysroot alone; the
# tools that run during the build are the host's.
set(CMAKE_FIND_ROOT_PATH "${CMAKE_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config is the host's program, but it must read only the target's .pc
# files: the host's describe Linux libraries and bring Linux flags. FreeBSD
# keeps them in libdata/pkgconfig (the base system has none for ncurses; a
# port's go to /usr/local). Paths in them are taken as inside the sysroot.
set(pc_dirs ${VINDLE_FREEBSD_PKG_CONFIG_PATH}
  "${CMAKE_SYSROOT}/usr/libdata/pkgconfig" "${CMAKE_SYSROOT}/usr/local/libdata/pkgconfig")
string(REPLACE ";" ":" pc_dirs "${pc_dirs}")
set(ENV{PKG_CONFIG_LIBDIR} "${pc_dirs}")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${CMAKE_SYSROOT}")
set(PKG_CONFIG_USE_CMAKE_PREFIX_PATH OFF)
