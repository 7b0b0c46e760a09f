# The parts of the tree that need a package beyond a compiler and CMake. Each
# is left out, with one line that says so, where its package is missing: the
# module, the shared package and the C interface need nothing more.
#   ZEP_TESTS        GoogleTest (with GoogleMock)
#   ZEP_BENCHMARKS   Google Benchmark
#   ZEP_JSON         nlohmann-json, for zep-host check --json and its tests

set(ZEP_TESTS OFF)
if(ZEP_BUILD_TESTS)
  if(CMAKE_CROSSCOMPILING)
    # No GoogleTest is built for the target on this machine: tests/ builds
    # one from the sources of Debian's googletest package.
    set(ZEP_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
    if(NOT CMAKE_DISABLE_FIND_PACKAGE_GTest AND EXISTS ${ZEP_GOOGLETEST_SOURCE}/CMakeLists.txt)
      set(ZEP_TESTS ON)
    endif()
  else()
    find_package(GTest QUIET)
    if(TARGET GTest::gtest_main AND TARGET GTest::gmock)
      set(ZEP_TESTS ON)
    endif()
  endif()
  if(NOT ZEP_TESTS)
    message(STATUS "The tests are left out: no GoogleTest with GoogleMock was found "
                   "(Debian: googletest libgtest-dev libgmock-dev)")
  endif()
endif()

set(ZEP_BENCHMARKS OFF)
if(ZEP_BUILD_BENCHMARKS)
  find_package(benchmark QUIET)
  if(benchmark_FOUND)
    set(ZEP_BENCHMARKS ON)
  else()
    message(STATUS "The benchmarks are left out: Google Benchmark was not found (Debian: libbenchmark-dev)")
  endif()
endif()

include(${CMAKE_CURRENT_LIST_DIR}/json.cmake)
