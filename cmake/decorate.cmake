# The encoder of the host's decorated export names, run as a script on the
# build machine:
#   cmake -DROWS=<rows> -DOUTPUT=<file.def> -DLIBRARY=<dll name> -P decorate.cmake
# ROWS is src/frame/windows/exports.in after the preprocessor: the slots,
# operations, builders and runtime entry points, each a keyword and its words.
# OUTPUT becomes the module-definition file that exports each host-visible
# name twice, under its decorated and its plain name.
#
# The scheme: "@Zep00001@" and the name; for a function "$qqr" and one code a
# parameter in declared order, or "v" for none. Integer "i", boolean "o",
# double "d", text "17System@AnsiString", each preceded by "r" when passed by
# reference. A text whose exact type (passing included) stood before is
# written "t" and the position, from 1, of its first parameter of that type.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/rows.cmake)

set(ZEP_UNIT Zep00001)

# The code of one parameter type, Kind and Passing as builders.def has them.
function(zep_type_code out kind passing)
  if(kind STREQUAL "Integer")
    set(code i)
  elseif(kind STREQUAL "Boolean")
    set(code o)
  elseif(kind STREQUAL "Double")
    set(code d)
  elseif(kind STREQUAL "Text")
    set(code 17System@AnsiString)
  else()
    message(FATAL_ERROR "decorate: unknown parameter kind '${kind}'")
  endif()
  if(passing STREQUAL "ByRef")
    set(code r${code})
  elseif(NOT passing STREQUAL "ByValue")
    message(FATAL_ERROR "decorate: unknown passing '${passing}'")
  endif()
  set(${out} ${code} PARENT_SCOPE)
endfunction()

# The decorated name of function `name` whose parameters are the Kind and
# Passing words that follow, in declared order.
function(zep_decorate out name)
  set(codes "")
  set(firstOfType "")
  set(position 0)
  set(words ${ARGN})
  list(LENGTH words count)
  while(count GREATER 0)
    list(POP_FRONT words kind passing)
    math(EXPR count "${count} - 2")
    math(EXPR position "${position} + 1")
    zep_type_code(code ${kind} ${passing})
    set(type ${kind}.${passing})
    list(FIND firstOfType "${type}" seen)
    if(kind STREQUAL "Text" AND NOT seen EQUAL -1)
      math(EXPR at "${seen} + 1")
      list(GET firstOfType ${at} first)
      # One digit is all the scheme as the host writes it shows.
      if(first GREATER 9)
        message(FATAL_ERROR "decorate: ${name}: back-reference to parameter ${first}")
      endif()
      string(APPEND codes t${first})
    else()
      string(APPEND codes ${code})
      if(seen EQUAL -1)
        list(APPEND firstOfType ${type} ${position})
      endif()
    endif()
  endwhile()
  if(codes STREQUAL "")
    set(codes v)
  endif()
  set(${out} "@${ZEP_UNIT}@${name}$qqr${codes}" PARENT_SCOPE)
endfunction()

# The parameter words of a bind, unbind or selection argument kind.
function(zep_argument_words out argument)
  if(argument STREQUAL "ModelCode" OR argument STREQUAL "UseFlag")
    set(${out} Integer ByValue PARENT_SCOPE)
  elseif(argument STREQUAL "ModelText")
    set(${out} Text ByValue PARENT_SCOPE)
  elseif(argument STREQUAL "None")
    set(${out} "" PARENT_SCOPE)
  else()
    message(FATAL_ERROR "decorate: unknown argument kind '${argument}'")
  endif()
endfunction()

foreach(argument ROWS OUTPUT LIBRARY)
  if(NOT DEFINED ${argument})
    message(FATAL_ERROR "decorate: -D${argument}=... is missing")
  endif()
endforeach()

zep_read_rows(records ${ROWS} slot operation builder package unit)
set(lines "")
foreach(record IN LISTS records)
  string(REPLACE "," ";" record "${record}")
  list(POP_FRONT record kind name)
  if(kind STREQUAL "slot")
    string(APPEND lines "  \"@${ZEP_UNIT}@${name}\" = ${name} DATA\n  ${name} DATA\n")
  elseif(kind STREQUAL "operation" OR kind STREQUAL "builder")
    if(kind STREQUAL "operation")
      zep_argument_words(record ${record})
    endif()
    zep_decorate(decorated ${name} ${record})
    string(APPEND lines "  \"${decorated}\" = ${name}\n  ${name}\n")
  elseif(kind STREQUAL "package")
    string(APPEND lines "  ${name}\n")
  elseif(kind STREQUAL "unit")
    zep_decorate(decorated ${name})
    string(APPEND lines "  \"${decorated}\" = ${record}\n")
  endif()
endforeach()

file(WRITE ${OUTPUT}.new "LIBRARY ${LIBRARY}\nEXPORTS\n${lines}")
# Left untouched when unchanged, so that the module is not linked again.
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
