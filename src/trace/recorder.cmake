# What runs while a thread records a call, in whatever thread (a signal
# handler's too), is built to touch no vector or x87 register and to call
# nothing that might: the stubs then keep only the integer registers. No
# sanitizer either, whose run-time functions might. The Windows parts call
# kernel32 only, whose header takes no such build.
include(CheckCXXSourceCompiles)
set(recording_files ${trace_sources})
list(FILTER recording_files INCLUDE REGEX "(file|events|side_stack|system_linux|file_posix)\\.cpp$")
# GCC takes -mgeneral-regs-only with the C++ library's headers; clang's
# refuses their long double without x87, so it keeps x87 (which integer
# code never uses) and drops the vector units.
set(recording_probe "#include <atomic>\n#include <string>\nint main() { return 0; }\n")
set(CMAKE_REQUIRED_FLAGS -mgeneral-regs-only)
check_cxx_source_compiles("${recording_probe}" ZEP_RECORDS_WITH_GENERAL_REGS_ONLY)
unset(CMAKE_REQUIRED_FLAGS)
if(ZEP_RECORDS_WITH_GENERAL_REGS_ONLY)
  set(recording_options -mgeneral-regs-only)
else()
  set(recording_options -mno-sse -mno-mmx)
endif()
# Loops the compiler would otherwise turn into calls of memcpy and memset.
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-fno-tree-loop-distribute-patterns ZEP_HAS_NO_LOOP_PATTERNS)
if(ZEP_HAS_NO_LOOP_PATTERNS)
  list(APPEND recording_options -fno-tree-loop-distribute-patterns)
endif()
if(ZEP_SANITIZE)
  list(APPEND recording_options -fno-sanitize=all)
endif()
set_source_files_properties(${recording_files} DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
  PROPERTIES COMPILE_OPTIONS "${recording_options}")
