# Helpers shared by the project's CMake files.

# Limits what `target` exports to the names of a linker version script that
# the C++ preprocessor makes from `template` (relative to the calling
# directory), so that a template can expand the project's entry lists.
function(zep_export_only target template)
  if(WIN32)
    return()
  endif()
  get_filename_component(source ${template} ABSOLUTE)
  get_filename_component(stem ${template} NAME_WE)
  set(map ${CMAKE_CURRENT_BINARY_DIR}/${stem}.map)
  add_custom_command(OUTPUT ${map}
    COMMAND ${CMAKE_CXX_COMPILER} -E -P -x c++ -I${PROJECT_SOURCE_DIR}/include ${source} -o ${map}
    DEPENDS ${source} ${ARGN}
    COMMENT "Export list of ${target}" VERBATIM)
  add_custom_target(${target}_exports DEPENDS ${map})
  add_dependencies(${target} ${target}_exports)
  target_link_options(${target} PRIVATE -Wl,--version-script=${map})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${map})
endfunction()

# The sets with a fixed package, read from the set list through the
# preprocessor: `out` becomes a list of Set=Package pairs, in the list's
# order. The build is configured again when the list changes.
function(zep_fixed_packages out)
  include(${PROJECT_SOURCE_DIR}/cmake/rows.cmake)
  set(template ${PROJECT_SOURCE_DIR}/cmake/fixed_packages.in)
  set(rows ${PROJECT_BINARY_DIR}/fixed_packages.rows)
  file(GLOB entry_lists ${PROJECT_SOURCE_DIR}/include/zep00001/entries/*.def)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${template} ${entry_lists})
  execute_process(
    COMMAND ${CMAKE_CXX_COMPILER} -E -P -x c++ -I${PROJECT_SOURCE_DIR}/include ${template} -o ${rows}
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "The preprocessor could not read the set list: ${failed}")
  endif()
  zep_read_rows(records ${rows} fixed)
  set(pairs "")
  foreach(record IN LISTS records)
    string(REPLACE "\"" "" record "${record}")
    string(REPLACE "," ";" record "${record}")
    list(GET record 1 set)
    list(GET record 2 package)
    list(APPEND pairs "${set}=${package}")
  endforeach()
  set(${out} ${pairs} PARENT_SCOPE)
endfunction()

# Packages are built so that nothing keeps them mapped after their last
# unload: GCC's GNU-unique symbols would. Compilers that make none (clang)
# have no flag against them either.
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-fno-gnu-unique ZEP_HAVE_NO_GNU_UNIQUE)
set(ZEP_NO_GNU_UNIQUE "")
if(ZEP_HAVE_NO_GNU_UNIQUE)
  set(ZEP_NO_GNU_UNIQUE -fno-gnu-unique)
endif()

# The file of a driver package: lib<name>.so, or <name>.bpl on Windows.
if(WIN32)
  set(ZEP_PACKAGE_PREFIX "")
  set(ZEP_PACKAGE_SUFFIX ".bpl")
else()
  set(ZEP_PACKAGE_PREFIX "lib")
  set(ZEP_PACKAGE_SUFFIX ".so")
endif()

# A build-tree path as a test program sees it: the Windows tests run under
# Wine, whose drive Z: is the build machine's root.
function(zep_test_path out path)
  if(WIN32 AND CMAKE_CROSSCOMPILING)
    set(path "Z:${path}")
  endif()
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

# A GoogleTest program, registered with CTest test by test:
#   zep_add_test(NAME SOURCES a.cpp ... [LIBRARIES lib ...])
function(zep_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} zep_test_support GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support ${PROJECT_SOURCE_DIR}/src)
  zep_test_path(packages ${ZEP_PACKAGES_DIR})
  target_compile_definitions(${name} PRIVATE "ZEP_TEST_PACKAGES=\"${packages}\""
    "ZEP_PACKAGE_PREFIX=\"${ZEP_PACKAGE_PREFIX}\"" "ZEP_PACKAGE_SUFFIX=\"${ZEP_PACKAGE_SUFFIX}\"")
  add_dependencies(${name} zep_drivers)
  # Under Wine the first listing also makes the prefix, which takes a while.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 180)
endfunction()

# A shared library of the host interface: builds lib<OUTPUT_NAME>.so or
# <OUTPUT_NAME>.dll from SOURCES, defines BUILDING while compiling it (its
# export macro's side), and is known as zep00001::<EXPORT_NAME>, in the tree
# and installed. With a DESCRIPTION, the DLL carries a version resource that
# gives it as the file's description.
function(zep_add_interface_library target)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME;EXPORT_NAME;BUILDING;DESCRIPTION" "SOURCES" ${ARGN})
  add_library(${target} SHARED ${ARG_SOURCES})
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${ARG_OUTPUT_NAME}
    EXPORT_NAME ${ARG_EXPORT_NAME})
  if(WIN32)
    set_target_properties(${target} PROPERTIES PREFIX "")
    if(ARG_DESCRIPTION)
      set(ZEP_RC_NAME ${ARG_OUTPUT_NAME})
      set(ZEP_RC_FILE ${ARG_OUTPUT_NAME}${CMAKE_SHARED_LIBRARY_SUFFIX})
      set(ZEP_RC_DESCRIPTION ${ARG_DESCRIPTION})
      configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${target}_version.rc @ONLY)
      target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
    endif()
  endif()
  target_compile_definitions(${target} PRIVATE ${ARG_BUILDING})
  # The generated version.h stands in the build tree's include directory.
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
    $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  add_library(zep00001::${ARG_EXPORT_NAME} ALIAS ${target})
endfunction()
