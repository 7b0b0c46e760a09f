# Registers the installed Lazarus package PACKAGE with lazbuild, in a
# configuration under WORK, and builds the project PROJECT (whose main file is
# SOURCE) that requires it.
#   cmake -DLAZBUILD=... -DPACKAGE=... -DPROJECT=... -DSOURCE=... -DWORK=... -P lazarus.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../support/host_run.cmake)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY_FILE ${PROJECT} ${WORK}/example.lpi)
file(COPY_FILE ${SOURCE} ${WORK}/example.lpr)
zep_run(${LAZBUILD} --pcp=${WORK}/configuration --add-package-link ${PACKAGE})
zep_run(${LAZBUILD} --pcp=${WORK}/configuration ${WORK}/example.lpi)
if(NOT EXISTS ${WORK}/example)
  message(FATAL_ERROR "lazbuild made no program:\n${output}")
endif()
