# The installed C header writes every builder out; this holds those
# declarations to the entry lists:
#   cmake -DCOMPILER=<c++> -DSOURCE=<project source> -DWORK=<dir> -P header_declarations.cmake
# The expected declarations come from the lists through the preprocessor, as
# the library's own definitions do; spacing aside, each must stand in the
# header, and the header must declare no other builder.
foreach(argument COMPILER SOURCE WORK)
  if(NOT DEFINED ${argument})
    message(FATAL_ERROR "-D${argument}=... is missing")
  endif()
endforeach()

set(expanded ${WORK}/builder_declarations.txt)
execute_process(
  COMMAND ${COMPILER} -E -P -x c++ -I${SOURCE}/include -I${SOURCE}/src/c
          ${SOURCE}/tests/c_api/builder_declarations.in -o ${expanded}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the builder declarations could not be expanded")
endif()

file(READ ${SOURCE}/include/zep00001/zep00001_c.h header)
string(REGEX REPLACE "[ \t\r\n]+" "" header "${header}")
file(STRINGS ${expanded} rows REGEX "^declaration ")
list(LENGTH rows expected)
set(missing 0)
foreach(row IN LISTS rows)
  string(REGEX REPLACE "^declaration +" "" declaration "${row}")
  string(REGEX REPLACE " +" " " shown "${declaration}")
  string(REGEX REPLACE " ?([(),]) ?" "\\1" shown "${shown}")
  string(REPLACE "," ", " shown "${shown}")
  string(REGEX REPLACE "[ \t]+" "" compact "${declaration}")
  string(FIND "${header}" "${compact}" at)
  if(at EQUAL -1)
    message(SEND_ERROR "zep00001_c.h lacks, as the entry lists give it:\n  ${shown}")
    math(EXPR missing "${missing} + 1")
  endif()
endforeach()

string(REGEX MATCHALL "zep_block\\*ZEP_CALLzep_Params_" declared "${header}")
list(LENGTH declared count)
if(NOT count EQUAL expected)
  message(SEND_ERROR "zep00001_c.h declares ${count} builders; the entry lists have ${expected}")
endif()
if(missing EQUAL 0 AND count EQUAL expected)
  message(STATUS "the ${expected} builder declarations follow the entry lists")
endif()
