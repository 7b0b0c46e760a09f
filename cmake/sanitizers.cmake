# ZEP_SANITIZE builds every target of the tree (the module, the shared
# package, the driver packages, the tests and the tools) with the listed
# sanitizers, e.g. "address;undefined" or "thread". A package that the test
# loads must carry the same runtime as the program, or its faults go unseen.
set(ZEP_SANITIZE "" CACHE STRING "Sanitizers for every target: address;undefined, or thread")

if(ZEP_SANITIZE)
  list(JOIN ZEP_SANITIZE "," zep_sanitizers)
  # Frame pointers keep the reports' stacks whole; a fault stops the program
  # at once, so no test passes with an error printed above it.
  add_compile_options(-fsanitize=${zep_sanitizers} -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${zep_sanitizers})
endif()
