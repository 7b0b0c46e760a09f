# Installs WHEEL into a fresh venv with pip and no index, then runs TEST in
# it with none of the module's settings in the environment.
#   cmake -DPYTHON=... -DWHEEL=... -DTEST=... -DWORK=... -P wheel.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../support/host_run.cmake)
file(REMOVE_RECURSE ${WORK})
zep_run(${PYTHON} -m venv ${WORK}/venv)
zep_run(${WORK}/venv/bin/python -m pip install --no-index --disable-pip-version-check ${WHEEL})
zep_run(${CMAKE_COMMAND} -E env --unset=ZEP_C_LIBRARY --unset=ZEP_PACKAGE_PATH
        --unset=LD_LIBRARY_PATH --unset=PYTHONPATH
        ${WORK}/venv/bin/python ${TEST} WORKING_DIRECTORY ${WORK})
message("${output}")
zep_expect_output("${output}" "all passed")
