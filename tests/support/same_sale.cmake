# Runs a host's sale against the simulated devices, and stops unless it
# prints the receipt of zep-host demo's sale.
#   cmake -DPROGRAM=<program> -DDEMO=<zep-host> -DPACKAGES=<simulated devices>
#         -P same_sale.cmake
include(${CMAKE_CURRENT_LIST_DIR}/host_run.cmake)

set(ENV{ZEP_PACKAGE_PATH} ${PACKAGES})
zep_run(${PROGRAM})
message("${output}")
zep_expect_demo_receipt("${output}" ${DEMO})
