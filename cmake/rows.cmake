# Reads the rows that the preprocessor makes from the entry lists, for the
# configure step and for scripts run on the build machine (cmake -P): a record
# is a keyword and the words that follow it, up to the next keyword.
#   zep_read_rows(<out> <file> <keyword>...)
# sets <out> to the records in order, each its words joined by ",", the
# keyword first ("slot,StartImpFiscal").
function(zep_read_rows out file)
  file(READ ${file} text)
  string(REGEX REPLACE "[ \t\r\n]+" ";" words "${text}")
  list(FILTER words EXCLUDE REGEX "^$")
  set(records "")
  set(record "")
  foreach(word IN LISTS words)
    if(word IN_LIST ARGN)
      if(NOT record STREQUAL "")
        list(APPEND records ${record})
      endif()
      set(record ${word})
    elseif(record STREQUAL "")
      message(FATAL_ERROR "${file}: '${word}' stands before any keyword")
    else()
      string(APPEND record ",${word}")
    endif()
  endforeach()
  if(NOT record STREQUAL "")
    list(APPEND records ${record})
  endif()
  set(${out} ${records} PARENT_SCOPE)
endfunction()
