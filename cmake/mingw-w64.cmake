# What both Windows cross builds share, for Debian's MinGW-w64 (posix
# threads) with the programs run under Wine. The width's own toolchain file
# sets ZEP_MINGW (the compiler's target triplet) and ZEP_WINEARCH, and
# ZEP_RUNTIME_LINK and ZEP_RUNTIME_DLLS where it links the runtime otherwise
# than wholly statically, then includes this one.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${ZEP_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEP_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEP_MINGW}-windres)
set(ZEP_DLLTOOL ${ZEP_MINGW}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${ZEP_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# By default every binary links the C++ runtime statically, so that nothing
# but the project's own DLLs need stand beside them.
if(NOT DEFINED ZEP_RUNTIME_LINK)
  set(ZEP_RUNTIME_LINK "-static")
endif()
set(CMAKE_EXE_LINKER_FLAGS_INIT "${ZEP_RUNTIME_LINK}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${ZEP_RUNTIME_LINK}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${ZEP_RUNTIME_LINK}")

# Wine runs the tests in a prefix of the build's own, of the build's width,
# quietly, and without the prompts for components no test needs.
find_program(ZEP_WINE wine)
if(ZEP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wine WINEARCH=${ZEP_WINEARCH}
      WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=" ${ZEP_WINE})
endif()
