# The Debian package: `cpack -G DEB` in the build directory writes
# vindle_VERSION_ARCH.deb with the binary, its manual page and its bash
# completion under /usr.
set(CPACK_PACKAGE_NAME vindle)
set(CPACK_PACKAGE_VENDOR "the vindle developers")
set(CPACK_PACKAGE_CONTACT "vindle developers <vindle@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "print the machine's processes as a forest of trees")
set(CPACK_PACKAGE_DESCRIPTION
  "vindle prints every process under its parent, joined by line-drawing
characters (Unicode, VT100 or ASCII), and folds identical sibling subtrees
into one entry with a repeat count. It can show pids, users, titles and
command-line arguments, start at one pid or at a user's processes, and
highlight a process and its ancestors.")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR TGZ)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps (from dpkg-dev, with file) derives the dependencies from the
# binary's libraries; without them, the packages of the libraries that vindle
# links.
find_program(VINDLE_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(VINDLE_FILE file)
if(VINDLE_DPKG_SHLIBDEPS AND VINDLE_FILE)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libgcc-s1, libbsd0, libncursesw6, libtinfo6")
endif()

include(CPack)
