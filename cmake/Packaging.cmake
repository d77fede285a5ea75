# The Debian package: `cpack -G DEB` in the build directory writes
# vindle_VERSION_ARCH.deb with what `cmake --install` installs under /usr. It
# is meant to be the package that dpkg-buildpackage builds from debian/: the
# summary, the description, the section and the priority come from
# debian/control, and the maintainer is the same unless set otherwise:
#   cmake -DVINDLE_MAINTAINER="Name <address>" ...
set(VINDLE_MAINTAINER "vindle maintainers <maintainers@vindle.invalid>"
  CACHE STRING "Maintainer field of the Debian package: a name and a mail address")

# The binary package's stanza of debian/control: "Description:" with the
# summary, then the description's lines, each starting with one space.
set(control_file ${PROJECT_SOURCE_DIR}/debian/control)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${control_file})
file(READ ${control_file} control)
if(NOT control MATCHES "\nDescription: ([^\n]*)\n((( [^\n]*)(\n|$))+)")
  message(FATAL_ERROR "debian/control has no Description field")
endif()
set(summary "${CMAKE_MATCH_1}")
string(REGEX REPLACE "(^|\n) " "\\1" description "${CMAKE_MATCH_2}")
string(REGEX REPLACE "\n$" "" description "${description}")
foreach(field Section Priority)
  if(NOT control MATCHES "\n${field}: ([^\n]*)")
    message(FATAL_ERROR "debian/control has no ${field} field")
  endif()
  string(TOUPPER ${field} upper)
  set(CPACK_DEBIAN_PACKAGE_${upper} "${CMAKE_MATCH_1}")
endforeach()

set(CPACK_PACKAGE_NAME vindle)
set(CPACK_PACKAGE_VENDOR "the vindle developers")
set(CPACK_PACKAGE_CONTACT "${VINDLE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VINDLE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${summary}")
set(CPACK_PACKAGE_DESCRIPTION "${description}")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR TGZ)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# dpkg-shlibdeps (from dpkg-dev, with file) derives the dependencies from the
# binary's libraries; without them, the packages of the libraries that vindle
# links.
find_program(VINDLE_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(VINDLE_FILE file)
if(VINDLE_DPKG_SHLIBDEPS AND VINDLE_FILE)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # With the versions that debian/shlibs.local sets.
  set(CPACK_VINDLE_SHLIBS_LOCAL ${PROJECT_SOURCE_DIR}/debian/shlibs.local)
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/PackageShlibs.cmake)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libgcc-s1, libbsd0, libncursesw6, libtinfo6")
endif()

include(CPack)
