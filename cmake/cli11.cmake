# CLI11, the header-only command-line parser of zep-host. A cross build looks
# for packages in its target's root only, where Debian puts no header-only
# library; it gets the build machine's headers through a directory that holds
# nothing else, as json.cmake does for nlohmann-json.
if(TARGET CLI11::CLI11)
  return()
endif()
find_package(CLI11 2 QUIET)
if(NOT CLI11_FOUND AND CMAKE_CROSSCOMPILING)
  find_path(ZEP_CLI11_INCLUDE CLI/CLI.hpp NO_CMAKE_FIND_ROOT_PATH)
  if(ZEP_CLI11_INCLUDE)
    set(alone ${PROJECT_BINARY_DIR}/cli11-include)
    file(MAKE_DIRECTORY ${alone})
    file(CREATE_LINK ${ZEP_CLI11_INCLUDE}/CLI ${alone}/CLI SYMBOLIC)
    add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
    target_include_directories(CLI11::CLI11 INTERFACE ${alone})
    set(CLI11_FOUND TRUE)
  endif()
endif()
if(NOT CLI11_FOUND)
  message(FATAL_ERROR "zep-host needs CLI11 2 (Debian: libcli11-dev)")
endif()
