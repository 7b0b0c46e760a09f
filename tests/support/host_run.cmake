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

# The receipt a sale printed, as zep-host demo frames it: from "receipt,
# coupon" to its closing rule.
function(zep_receipt out output)
  set(rule "    \\+-+\\+\n")
  string(REGEX MATCH "  receipt, coupon [0-9]+:\n${rule}(    \\|[^\n]*\\|\n)*${rule}" receipt
         "${output}")
  if(receipt STREQUAL "")
    message(FATAL_ERROR "no receipt in:\n${output}")
  endif()
  set(${out} "${receipt}" PARENT_SCOPE)
endfunction()

# Stops the script unless `output` holds the receipt of zep-host demo's sale,
# run with the packages of ZEP_PACKAGE_PATH.
function(zep_expect_demo_receipt output demo)
  zep_receipt(sale "${output}")
  zep_run(${demo} demo)
  zep_receipt(expected "${output}")
  if(NOT sale STREQUAL expected)
    message(FATAL_ERROR "the sale's receipt:\n${sale}differs from the demo's:\n${expected}")
  endif()
endfunction()
