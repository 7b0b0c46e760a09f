# Packs the NuGet package Zep00001 into OUTPUT: the Linux libraries as
# installed, under the names a .NET host's loader asks for (the linker name
# that DllImport("zep00001_c") finds, and the SONAME), the private directory
# beside them as the module expects it; and the Windows DLLs where given.
#   cmake -DDOTNET=... -DPROJECT=Zep00001.csproj -DRUNTIME=<runtime's library directory>
#         -DC_LIBRARY=<SONAME> -DLINKER_NAME=<libzep00001_c.so> -DMODULE=<module's file>
#         -DPRIVATE=<private directory> [-DWIN_X64=DIR] [-DWIN_X86=DIR] -DVERSION=...
#         -DWORK=... -DOUTPUT=... [-DDEMO=<simulated devices> -DDEMO_PROJECT=...] -P pack.cmake
# With DEMO, Zep00001.Demo too, from DEMO_PROJECT's nuspec.
include(${CMAKE_CURRENT_LIST_DIR}/../../tests/support/host_run.cmake)
set(native ${WORK}/linux-x64)
file(REMOVE_RECURSE ${native})
file(MAKE_DIRECTORY ${native}/${PRIVATE})
foreach(name IN ITEMS ${C_LIBRARY} ${LINKER_NAME})
  file(COPY_FILE ${RUNTIME}/${C_LIBRARY} ${native}/${name})
endforeach()
file(COPY_FILE ${RUNTIME}/${MODULE} ${native}/${MODULE})
file(GLOB private ${RUNTIME}/${PRIVATE}/*.so)
file(COPY ${private} DESTINATION ${native}/${PRIVATE})

set(windows "")
foreach(width IN ITEMS X64 X86)
  if(WIN_${width})
    file(GLOB dlls ${WIN_${width}}/*.dll)
    if(NOT dlls)
      message(FATAL_ERROR "${WIN_${width}} holds no DLL for the NuGet package")
    endif()
    list(APPEND windows -p:ZepNativeWin${width}=${WIN_${width}})
  endif()
endforeach()
file(REMOVE ${OUTPUT}/Zep00001.${VERSION}.nupkg)
zep_run(${DOTNET} pack ${PROJECT} --nologo -c Release -o ${OUTPUT}
        -p:ZepNativeLinuxX64=${native} ${windows})

if(DEMO)
  file(REMOVE ${OUTPUT}/Zep00001.Demo.${VERSION}.nupkg)
  zep_run(${DOTNET} pack ${DEMO_PROJECT} --nologo -c Release -o ${OUTPUT}
          -p:NuspecProperties=native=${DEMO})
endif()
