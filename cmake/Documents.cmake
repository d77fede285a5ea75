# The copyright notice in Debian's machine-readable form and the change log,
# gzipped, in share/doc/vindle: what a Debian package must carry, and harmless
# in any other installation.
find_program(VINDLE_GZIP gzip REQUIRED)
set(changelog ${PROJECT_BINARY_DIR}/doc/changelog)
add_custom_command(OUTPUT ${changelog}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/debian/changelog ${changelog}
  COMMAND ${VINDLE_GZIP} -9 -n -f ${changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/debian/changelog
  COMMENT "Compressing the change log"
  VERBATIM)
add_custom_target(changelog ALL DEPENDS ${changelog}.gz)
install(FILES ${PROJECT_SOURCE_DIR}/debian/copyright ${changelog}.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
