# nlohmann-json for zep-host check --json and its tests (the module itself
# uses none); ZEP_JSON says whether it was found.
include(${CMAKE_CURRENT_LIST_DIR}/header_only.cmake)
find_package(nlohmann_json 3 QUIET)
if(NOT nlohmann_json_FOUND AND CMAKE_CROSSCOMPILING AND NOT CMAKE_DISABLE_FIND_PACKAGE_nlohmann_json)
  zep_header_only_from_build_machine(nlohmann_json::nlohmann_json nlohmann/json.hpp
                                     nlohmann_json_FOUND)
endif()
set(ZEP_JSON ${nlohmann_json_FOUND})
if(NOT ZEP_JSON)
  message(STATUS "zep-host check --json and its tests are left out: nlohmann-json 3 was not found "
                 "(Debian: nlohmann-json3-dev)")
endif()
