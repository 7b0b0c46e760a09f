# Cross build for 32-bit Windows (x86) with MinGW-w64, tests under 32-bit
# Wine: most tills run 32-bit hosts, and those load only 32-bit DLLs.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZEP_MINGW i686-w64-mingw32)
set(ZEP_WINEARCH win32)

# This compiler unwinds with DWARF tables, which an unwinder finds only for
# the modules registered with it. Linked statically, each DLL would carry an
# unwinder of its own that knows no other module's frames, and an exception
# thrown in one DLL (the shared package's failed load, the module's binding
# failure) would end the process instead of reaching its handler in the
# next. So the unwinder is the one shared libgcc_s_dw2-1.dll (which needs
# libwinpthread-1.dll); libstdc++ stays static. Both DLLs ship beside the
# project's own.
set(ZEP_RUNTIME_LINK "-static-libstdc++ -shared-libgcc")
set(ZEP_RUNTIME_DLLS libgcc_s_dw2-1.dll libwinpthread-1.dll)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
