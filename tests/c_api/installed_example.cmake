# Builds the C example against the installed tree the way a C host does, by
# METHOD pkg-config (the flags `pkg-config --cflags --libs zep00001` gives)
# or find_package (the consumer project beside this file), then runs it
# against the tree's answering packages.
#   cmake -DMETHOD=... -DPREFIX=... -DLIBDIR=... -DSOURCE=... -DWORK=...
#         -DPACKAGES=... [-DCOMPILER=... -DPKG_CONFIG=...] [-DGENERATOR=...]
#         [-DFLAGS="more compiler flags"] -P this
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE output
                  ERROR_VARIABLE output)
  if(failed)
    message(FATAL_ERROR "${ARGN}\n${output}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
if(METHOD STREQUAL "pkg-config")
  # Only the installed tree's .pc files.
  set(ENV{PKG_CONFIG_LIBDIR} ${PREFIX}/${LIBDIR}/pkgconfig)
  unset(ENV{PKG_CONFIG_PATH})
  run(${PKG_CONFIG} --cflags --libs zep00001)
  string(STRIP "${output}" flags)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  separate_arguments(extra UNIX_COMMAND "${FLAGS}")
  set(example ${WORK}/example)
  run(${COMPILER} -std=c99 -pedantic-errors -Wall -Wextra -Werror ${extra} ${SOURCE} ${flags}
      -o ${example})
  set(ENV{LD_LIBRARY_PATH} ${PREFIX}/${LIBDIR})
else()
  get_filename_component(consumer ${CMAKE_CURRENT_LIST_DIR}/consumer ABSOLUTE)
  run(${CMAKE_COMMAND} -S ${consumer} -B ${WORK} -G ${GENERATOR} -DCMAKE_BUILD_TYPE=Release
      -DCMAKE_PREFIX_PATH=${PREFIX} -DEXAMPLE=${SOURCE} "-DCMAKE_C_FLAGS=${FLAGS}"
      "-DCMAKE_EXE_LINKER_FLAGS=${FLAGS}")
  run(${CMAKE_COMMAND} --build ${WORK})
  set(example ${WORK}/example)
endif()

set(ENV{ZEP_PACKAGE_PATH} ${PACKAGES})
run(${example})
message("${output}")
foreach(expected "EmitirVenda answers answering/zep03000:EmitirVenda"
                 "fiscal model 21 is served by ZEP00102"
                 "UTILTEF    false"
                 "Erro na carga do pacote: X\ncannot load package \"X\"")
  string(FIND "${output}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the example's output lacks \"${expected}\"")
  endif()
endforeach()
