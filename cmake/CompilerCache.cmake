# Every compile of the tree goes through ccache when it is installed: the
# builds of `make test`'s stages and the ones that tests and packaging make
# of their own (the configure checks, dpkg-buildpackage, the FreeBSD
# cross-builds), since each of them configures this file again.
#
# Entries are keyed on paths relative to the source tree (base_dir, and the
# working directory left out of the hash), so clones in different folders
# share them. Precompiled headers are cached only with the sloppiness below:
# ccache cannot see the macros and time stamps inside a header that is
# already compiled, and the header's file is newer than the compile that
# includes it. The build then stays correct: the header is rebuilt whenever
# what it includes changes, and every unit that uses it is recompiled.
#
# A launcher that the caller chose (-DCMAKE_CXX_COMPILER_LAUNCHER=..., or
# the environment variable of that name) is kept unless it is ccache itself,
# which gets these settings; -DVINDLE_CCACHE=OFF compiles without a cache.
option(VINDLE_CCACHE "Compile through ccache when it is installed" ON)

function(vindle_use_compiler_cache)
  if(NOT VINDLE_CCACHE)
    return()
  endif()
  foreach(language C CXX)
    set(chosen "${CMAKE_${language}_COMPILER_LAUNCHER}")
    if(chosen)
      list(GET chosen 0 program)
      get_filename_component(program_name "${program}" NAME)
      if(NOT program_name STREQUAL "ccache")
        return()
      endif()
    endif()
  endforeach()
  find_program(VINDLE_CCACHE_PROGRAM ccache)
  if(NOT VINDLE_CCACHE_PROGRAM)
    return()
  endif()
  set(launcher ${CMAKE_COMMAND} -E env
    CCACHE_BASEDIR=${PROJECT_SOURCE_DIR}
    CCACHE_NOHASHDIR=1
    CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
    ${VINDLE_CCACHE_PROGRAM})
  set(CMAKE_C_COMPILER_LAUNCHER ${launcher} PARENT_SCOPE)
  set(CMAKE_CXX_COMPILER_LAUNCHER ${launcher} PARENT_SCOPE)
endfunction()

vindle_use_compiler_cache()
