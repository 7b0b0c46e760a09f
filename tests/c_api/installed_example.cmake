# Builds the C example against the installed tree the way a C host does, by
# METHOD pkg-config (the flags `pkg-config --cflags --libs zep00001` gives)
# or find_package (the consumer project beside this file), then runs it
# against the tree's answering packages.
#   cmake -DMETHOD=... -DPREFIX=... -DLIBDIR=... -DSOURCE=... -DWORK=...
#         -DPACKAGES=... [-DCOMPILER=... -DPKG_CONFIG=...] [-DGENERATOR=...]
#         [-DFLAGS="more compiler flags"] -P this
include(${CMAKE_CURRENT_LIST_DIR}/../support/host_run.cmake)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
if(METHOD STREQUAL "pkg-config")
  # Only the installed tree's .pc files.
  set(ENV{PKG_CONFIG_LIBDIR} ${PREFIX}/${LIBDIR}/pkgconfig)
  unset(ENV{PKG_CONFIG_PATH})
  zep_run(${PKG_CONFIG} --cflags --libs zep00001)
  string(STRIP "${output}" flags)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  separate_arguments(extra UNIX_COMMAND "${FLAGS}")
  set(example ${WORK}/example)
  zep_run(${COMPILER} -std=c99 -pedantic-errors -Wall -Wextra -Werror ${extra} ${SOURCE} ${flags}
      -o ${example})
  set(ENV{LD_LIBRARY_PATH} ${PREFIX}/${LIBDIR})
else()
  get_filename_component(consumer ${CMAKE_CURRENT_LIST_DIR}/consumer ABSOLUTE)
  zep_run(${CMAKE_COMMAND} -S ${consumer} -B ${WORK} -G ${GENERATOR} -DCMAKE_BUILD_TYPE=Release
      -DCMAKE_PREFIX_PATH=${PREFIX} -DEXAMPLE=${SOURCE} "-DCMAKE_C_FLAGS=${FLAGS}"
      "-DCMAKE_EXE_LINKER_FLAGS=${FLAGS}")
  zep_run(${CMAKE_COMMAND} --build ${WORK})
  set(example ${WORK}/example)
endif()

set(ENV{ZEP_PACKAGE_PATH} ${PACKAGES})
zep_run(${example})
message("${output}")
zep_expect_output("${output}"
  "EmitirVenda answers answering/zep03000:EmitirVenda"
  "fiscal model 21 is served by ZEP00102"
  "UTILTEF    false"
  "Erro na carga do pacote: X\ncannot load package \"X\"")
