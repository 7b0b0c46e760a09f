# Installs WHEEL into a fresh venv with pip and no index, then runs TEST in
# it with none of the module's settings in the environment. With SALE, then
# installs the demo wheel zep00001-demo from beside WHEEL into the venv and
# runs the README's sale (SALE) there, with no setting either: its receipt
# must be zep-host demo's (DEMO_HOST).
#   cmake -DPYTHON=... -DWHEEL=... -DTEST=... -DVERSION=... -DWORK=... [-DSALE=... -DDEMO_HOST=...]
#         -P wheel.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../support/host_run.cmake)
file(REMOVE_RECURSE ${WORK})
zep_run(${PYTHON} -m venv ${WORK}/venv)
zep_run(${WORK}/venv/bin/python -m pip install --no-index --disable-pip-version-check ${WHEEL})
set(unset --unset=ZEP_C_LIBRARY --unset=ZEP_PACKAGE_PATH --unset=LD_LIBRARY_PATH --unset=PYTHONPATH)
zep_run(${CMAKE_COMMAND} -E env ${unset} ${WORK}/venv/bin/python ${TEST} ${VERSION}
        WORKING_DIRECTORY ${WORK})
message("${output}")
zep_expect_output("${output}" "all passed")
if(SALE)
  get_filename_component(wheels ${WHEEL} DIRECTORY)
  zep_run(${WORK}/venv/bin/python -m pip install --no-index --find-links ${wheels}
          --disable-pip-version-check zep00001-demo)
  zep_run(${CMAKE_COMMAND} -E env ${unset} ${WORK}/venv/bin/python ${SALE} WORKING_DIRECTORY ${WORK})
  message("${output}")
  zep_expect_demo_receipt("${output}" ${DEMO_HOST})
endif()
