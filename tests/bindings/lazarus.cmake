# Registers the installed Lazarus package PACKAGE with lazbuild, in a
# configuration under WORK, and builds the project PROJECT (whose main file is
# SOURCE) that requires it; the program then finds the C interface where it
# is installed, with no LD_LIBRARY_PATH.
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
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH ${WORK}/example
                OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(output MATCHES "error while loading shared libraries")
  message(FATAL_ERROR "the Lazarus program does not find the installed library:\n${output}")
endif()
