# lintian on every Debian package in DIRECTORY: no error, and no warning but
# the README's (section "Debian packages"), each for the reason given there.
#   cmake -DLINTIAN=... -DDIRECTORY=... -P lintian.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../support/host_run.cmake)
file(GLOB debs ${DIRECTORY}/*.deb)
if(NOT debs)
  message(FATAL_ERROR "no Debian package in ${DIRECTORY}")
endif()
zep_run(${LINTIAN} --fail-on error,warning
        --suppress-tags package-name-doesnt-match-sonames,shared-library-lacks-version ${debs})
message("${output}")
