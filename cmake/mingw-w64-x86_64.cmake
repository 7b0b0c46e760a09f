# Cross build for 64-bit Windows (x86-64) with MinGW-w64, tests under Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZEP_MINGW x86_64-w64-mingw32)
set(ZEP_WINEARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
