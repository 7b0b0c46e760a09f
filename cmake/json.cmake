# nlohmann-json for zep-host check --json and its tests (the module itself
# uses none); ZEP_JSON says whether it was found.
# A cross build looks for packages in its target's root only, where Debian
# puts no header-only library; it gets the build machine's header through a
# directory that holds nothing else, since adding the build machine's whole
# include directory would mix its C library's headers into the target's.
find_package(nlohmann_json 3 QUIET)
if(NOT nlohmann_json_FOUND AND CMAKE_CROSSCOMPILING AND NOT CMAKE_DISABLE_FIND_PACKAGE_nlohmann_json)
  find_path(ZEP_JSON_INCLUDE nlohmann/json.hpp NO_CMAKE_FIND_ROOT_PATH)
  if(ZEP_JSON_INCLUDE)
    set(alone ${PROJECT_BINARY_DIR}/json-include)
    file(MAKE_DIRECTORY ${alone})
    file(CREATE_LINK ${ZEP_JSON_INCLUDE}/nlohmann ${alone}/nlohmann SYMBOLIC)
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
    target_include_directories(nlohmann_json::nlohmann_json INTERFACE ${alone})
    set(nlohmann_json_FOUND TRUE)
  endif()
endif()
set(ZEP_JSON ${nlohmann_json_FOUND})
if(NOT ZEP_JSON)
  message(STATUS "zep-host check --json and its tests are left out: nlohmann-json 3 was not found "
                 "(Debian: nlohmann-json3-dev)")
endif()
