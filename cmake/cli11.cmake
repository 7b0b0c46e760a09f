# CLI11, the header-only command-line parser of zep-host.
include(${CMAKE_CURRENT_LIST_DIR}/header_only.cmake)
if(TARGET CLI11::CLI11)
  return()
endif()
find_package(CLI11 2 QUIET)
if(NOT CLI11_FOUND AND CMAKE_CROSSCOMPILING AND NOT CMAKE_DISABLE_FIND_PACKAGE_CLI11)
  zep_header_only_from_build_machine(CLI11::CLI11 CLI/CLI.hpp CLI11_FOUND)
endif()
if(NOT CLI11_FOUND)
  message(STATUS "zep-host, its tests and the demo are left out: CLI11 2 was not found "
                 "(Debian: libcli11-dev)")
endif()
