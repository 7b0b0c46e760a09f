# What the scripts that build and run a host against an installed tree share
# (cmake -P scripts, included).

# Runs the command; stops the script with the command and its output when it
# fails, and otherwise leaves its output in `output`.
function(zep_run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE output
                  ERROR_VARIABLE output)
  if(failed)
    message(FATAL_ERROR "${ARGN}\n${output}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

# Stops the script unless `output` holds each of the texts that follow.
function(zep_expect_output output)
  foreach(expected IN LISTS ARGN)
    string(FIND "${output}" "${expected}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "the output lacks \"${expected}\"")
    endif()
  endforeach()
endfunction()
