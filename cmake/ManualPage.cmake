# The manual page as installed: gzipped, as distributions install manual
# pages, and naming strvis's page by the section it has on the system it is
# built for: vis(3) in FreeBSD's libc, vis(3bsd) from libbsd elsewhere.
# man/vindle.1 itself names vis(3), and stands @PROJECT_VERSION@ where the
# version goes; the build writes the installed copy, with the version of
# project(), to man/vindle.1 in the build directory, and man/vindle.1.gz
# beside it.
if(CMAKE_SYSTEM_NAME STREQUAL "FreeBSD")
  set(VINDLE_VIS_SECTION 3 CACHE STRING "Manual section of vis(3) on the target system")
else()
  set(VINDLE_VIS_SECTION 3bsd CACHE STRING "Manual section of vis(3) on the target system")
endif()

set(manual_source ${PROJECT_SOURCE_DIR}/man/vindle.1)
set(manual_page ${PROJECT_BINARY_DIR}/man/vindle.1)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${manual_source})
file(READ ${manual_source} page)
# Every reference: ".Xr vis 3" ends its line or is followed by punctuation.
string(REGEX REPLACE "(\n\\.Xr vis) 3([ \n])" "\\1 ${VINDLE_VIS_SECTION}\\2" page "${page}")
string(REPLACE "@PROJECT_VERSION@" "${PROJECT_VERSION}" page "${page}")
set(previous_page "")
if(EXISTS ${manual_page})
  file(READ ${manual_page} previous_page)
endif()
if(NOT page STREQUAL previous_page)
  file(WRITE ${manual_page} "${page}")
endif()

find_program(VINDLE_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${manual_page}.gz
  COMMAND ${VINDLE_GZIP} -9 -n -k -f ${manual_page}
  DEPENDS ${manual_page}
  COMMENT "Compressing the manual page"
  VERBATIM)
add_custom_target(manual_page ALL DEPENDS ${manual_page}.gz)
install(FILES ${manual_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
