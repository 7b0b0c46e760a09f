# Installs BUILD into WORK/prefix, builds the example host at SOURCE against
# it and runs it with the installed simulated packages (SIMULATED, relative to
# the prefix) on the package path. With DEBIAN, BUILD's Debian packages are
# made instead and unpacked into WORK/root, whose usr/ is then the prefix;
# every component must have become a package of its own name.
#   cmake -DBUILD=... -DSOURCE=... -DWORK=... -DGENERATOR=... -DCOMPILER=...
#         -DSIMULATED=... [-DFLAGS=compiler and linker flags]
#         [-DDEBIAN=ON -DCPACK=... -DDPKG_DEB=...] -P installed_host.cmake
file(REMOVE_RECURSE ${WORK})
if(DEBIAN)
  execute_process(COMMAND ${CPACK} -G DEB --config ${BUILD}/CPackConfig.cmake -B ${WORK}/debs
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(GLOB debs ${WORK}/debs/*.deb)
  set(made "")
  foreach(deb IN LISTS debs)
    execute_process(COMMAND ${DPKG_DEB} --field ${deb} Package OUTPUT_VARIABLE name
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    list(APPEND made ${name})
    execute_process(COMMAND ${DPKG_DEB} -x ${deb} ${WORK}/root COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
  include(${BUILD}/CPackConfig.cmake)
  set(named "")
  foreach(component IN LISTS CPACK_COMPONENTS_ALL)
    string(TOUPPER ${component} upper)
    list(APPEND named "${CPACK_DEBIAN_${upper}_PACKAGE_NAME}")
  endforeach()
  list(SORT made)
  list(SORT named)
  if(NOT made STREQUAL named)
    message(FATAL_ERROR "the components ${CPACK_COMPONENTS_ALL} made the packages "
                        "\"${made}\", not the named \"${named}\"")
  endif()
  set(prefix ${WORK}/root/usr)
else()
  set(prefix ${WORK}/prefix)
  execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK}/build -G ${GENERATOR}
                        -DCMAKE_CXX_COMPILER=${COMPILER} -DCMAKE_BUILD_TYPE=Release
                        -DCMAKE_PREFIX_PATH=${prefix} "-DCMAKE_CXX_FLAGS=${FLAGS}"
                        "-DCMAKE_EXE_LINKER_FLAGS=${FLAGS}"
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}/build OUTPUT_QUIET
                COMMAND_ERROR_IS_FATAL ANY)

# Only the installed tree: the build tree's packages must not be what answers.
set(ENV{ZEP_PACKAGE_PATH} ${prefix}/${SIMULATED})
execute_process(COMMAND ${WORK}/build/example-host RESULT_VARIABLE status
                OUTPUT_VARIABLE output ERROR_VARIABLE output)
message("${output}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the example host exited with ${status}")
endif()
foreach(expected "weighed 0.412 kg on ZEP01200" "[\"NMPROD\", \"QUEIJO MINAS\"]"
                 "[\"QTDE\", 0.412]")
  string(FIND "${output}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the example host's output lacks ${expected}")
  endif()
endforeach()
