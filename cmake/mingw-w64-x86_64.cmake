# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads), the
# programs run under Wine. Every binary links the C++ runtime statically, so
# nothing but the project's own DLLs need stand beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZEP_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZEP_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEP_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEP_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZEP_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Wine runs the tests in a prefix of the build's own, quietly, and without
# the prompts for components no test needs.
find_program(ZEP_WINE wine)
if(ZEP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wine WINEDEBUG=-all
      "WINEDLLOVERRIDES=mscoree,mshtml=" ${ZEP_WINE})
endif()
