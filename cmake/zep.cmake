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

# Every file made from the entry lists, written at configure time by
# bindings/generate.py from one reading of the rows (bindings/rows.in after
# the preprocessor): the bindings under ZEP_BINDINGS_DIR, and under
# ZEP_GENERATED_DIR the Windows DLL's module-definition file
# (ZEP_MODULE_DEFINITION), exports.h (the exported declarations written out,
# for reading) and the fixed packages (zep_fixed_packages). The build is
# configured again when a list, the generator or a template changes.
function(zep_generate)
  find_package(Python3 3.7 REQUIRED COMPONENTS Interpreter)
  set(bindings ${PROJECT_SOURCE_DIR}/bindings)
  set(generated ${PROJECT_BINARY_DIR}/generated)
  set(ZEP_GENERATED_DIR ${generated} CACHE INTERNAL "Files made from the entry lists")
  set(ZEP_BINDINGS_DIR ${PROJECT_BINARY_DIR}/share/zep00001 CACHE INTERNAL "The generated bindings")
  set(ZEP_MODULE_DEFINITION ${generated}/PKG_ZEP00001.def CACHE INTERNAL
      "The module's export names, decorated and plain")
  file(GLOB inputs ${PROJECT_SOURCE_DIR}/include/zep00001/entries/*.def ${bindings}/*.in
       ${bindings}/*.py)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${inputs} ${PROJECT_SOURCE_DIR}/src/frame/windows/runtime.def)
  set(platform unix)
  if(WIN32)
    set(platform windows)
  endif()
  execute_process(
    COMMAND ${CMAKE_CXX_COMPILER} -E -P -x c++ -I${PROJECT_SOURCE_DIR}/include
            -I${PROJECT_SOURCE_DIR}/src/frame/windows ${bindings}/rows.in
    COMMAND ${Python3_EXECUTABLE} -B ${bindings}/generate.py ${bindings} ${ZEP_BINDINGS_DIR}
            ${generated} ${platform}
    RESULTS_VARIABLE results)
  if(NOT results MATCHES "^0;0$")
    message(FATAL_ERROR "Reading the entry lists failed (preprocessor;generator): ${results}")
  endif()
endfunction()

# The sets with a fixed package: `out` becomes a list of Set=Package pairs,
# in the list's order.
function(zep_fixed_packages out)
  include(${ZEP_GENERATED_DIR}/fixed_packages.cmake)
  set(${out} ${ZEP_FIXED_PACKAGES} PARENT_SCOPE)
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
