# Makes the import library of a 32-bit Windows DLL whose functions are all
# __stdcall and exported under their plain names (linked with --kill-at):
#   cmake -DDEFINITION=<linker's .def> -DDLLTOOL=<dlltool> -DLIBRARY=<dll name>
#         -DIMPORT_LIBRARY=<lib.dll.a> -P stdcall-import-library.cmake
# The linker's own import library would offer the plain names, but a C
# compiler asks for zep_bind@8 (with the prefix, _zep_bind@8). The linker's
# definition file (--output-def) pairs them as "zep_bind = zep_bind@8";
# dlltool --kill-at makes from the decorated names a library whose symbols
# are decorated and whose imports are plain.
cmake_minimum_required(VERSION 3.25)

foreach(argument DEFINITION DLLTOOL LIBRARY IMPORT_LIBRARY)
  if(NOT DEFINED ${argument})
    message(FATAL_ERROR "stdcall-import-library: -D${argument}=... is missing")
  endif()
endforeach()

file(STRINGS ${DEFINITION} lines)
set(exports "")
foreach(line IN LISTS lines)
  if(line MATCHES "^EXPORTS" OR line STREQUAL "")
    continue()
  elseif(line MATCHES "^[ \t]+[A-Za-z_0-9]+ = ([A-Za-z_0-9]+@[0-9]+)")
    string(APPEND exports "  ${CMAKE_MATCH_1}\n")
  else()
    # A function of another convention would be imported under a name the
    # DLL does not export.
    message(FATAL_ERROR "stdcall-import-library: ${LIBRARY} exports '${line}', which is no __stdcall function")
  endif()
endforeach()

set(stdcall ${DEFINITION}.stdcall)
file(WRITE ${stdcall} "LIBRARY ${LIBRARY}\nEXPORTS\n${exports}")
execute_process(COMMAND ${DLLTOOL} --kill-at --input-def ${stdcall} --output-lib ${IMPORT_LIBRARY}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "stdcall-import-library: ${DLLTOOL} failed for ${LIBRARY}")
endif()
