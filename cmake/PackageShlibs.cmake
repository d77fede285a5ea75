# Run by cpack before it packages (CPACK_PRE_BUILD_SCRIPTS): dpkg-shlibdeps
# runs in cpack's work directory and reads debian/shlibs.local from there,
# so the copy goes there, and the package's dependencies are those of the
# package that dpkg-buildpackage builds from debian/.
file(COPY "${CPACK_VINDLE_SHLIBS_LOCAL}" DESTINATION "${CPACK_TEMPORARY_DIRECTORY}/debian")
