# Command-line completion for bash, zsh and fish, each installed where that
# shell looks for the completions of packages. zsh's directory for packages
# under /usr on Debian is vendor-completions; anywhere else (/usr/local, other
# systems) it is site-functions. fish looks in vendor_completions.d below its
# own prefix, normally /usr.
install(FILES ${PROJECT_SOURCE_DIR}/completion/vindle.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vindle)

# The prefix is known only when installing: cpack installs under /usr
# whatever the build directory was configured with.
if(EXISTS /etc/debian_version)
  set(usr_zsh_directory vendor-completions)
else()
  set(usr_zsh_directory site-functions)
endif()
set(VINDLE_ZSH_COMPLETION_DIR "" CACHE STRING
  "Where the zsh completion is installed, below the prefix (empty: chosen by the prefix)")
install(CODE "
  set(zsh_directory \"${VINDLE_ZSH_COMPLETION_DIR}\")
  if(NOT zsh_directory AND CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(zsh_directory \"${CMAKE_INSTALL_DATADIR}/zsh/${usr_zsh_directory}\")
  elseif(NOT zsh_directory)
    set(zsh_directory \"${CMAKE_INSTALL_DATADIR}/zsh/site-functions\")
  endif()
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/\${zsh_directory}\"
    TYPE FILE FILES \"${PROJECT_SOURCE_DIR}/completion/_vindle\")
")

install(FILES ${PROJECT_SOURCE_DIR}/completion/vindle.fish
  DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)
