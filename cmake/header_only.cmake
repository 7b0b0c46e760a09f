# zep_header_only_from_build_machine(TARGET HEADER FOUND_VARIABLE): a cross
# build looks for packages in its target's root only, where Debian puts no
# header-only library; this gives TARGET the build machine's header (HEADER,
# e.g. CLI/CLI.hpp) through a directory that holds nothing else, since adding
# the build machine's whole include directory would mix its C library's
# headers into the target's. Sets FOUND_VARIABLE when it finds the header.
function(zep_header_only_from_build_machine target header found)
  string(REGEX REPLACE "/.*" "" top ${header})
  string(MAKE_C_IDENTIFIER ${top} name)
  find_path(ZEP_${name}_INCLUDE ${header} NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ZEP_${name}_INCLUDE)
    return()
  endif()
  set(alone ${PROJECT_BINARY_DIR}/${name}-include)
  file(MAKE_DIRECTORY ${alone})
  file(CREATE_LINK ${ZEP_${name}_INCLUDE}/${top} ${alone}/${top} SYMBOLIC)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  target_include_directories(${target} INTERFACE ${alone})
  set(${found} TRUE PARENT_SCOPE)
endfunction()
