# Builds the Python wheel from the generated binding and the installed runtime,
# with the interpreter's own setuptools and wheel and no network.
#   cmake -DPYTHON=... -DSOURCE=packaging/python -DPYPROJECT=pyproject.toml
#         -DBINDING=zep00001.py -DRUNTIME=<runtime installed, its library directory>
#         -DC_LIBRARY=<the C interface's SONAME> -DMODULE=<the module's file name>
#         -DPRIVATE=<the private directory, relative to the library directory>
#         -DWORK=... -DOUTPUT=<directory of the wheel>
#         [-DDEMO=<the simulated devices> -DDEMO_PYPROJECT=<demo's pyproject.toml>] -P wheel.cmake
# With DEMO, the wheel zep00001-demo too: the simulated devices in the
# module's private directory, where its shared package finds them.
include(${CMAKE_CURRENT_LIST_DIR}/../../tests/support/host_run.cmake)
file(REMOVE_RECURSE ${WORK})
set(package ${WORK}/zep00001)
file(MAKE_DIRECTORY ${package}/lib/${PRIVATE})
file(COPY ${SOURCE}/setup.cfg DESTINATION ${WORK})
configure_file(${SOURCE}/__init__.py ${package}/__init__.py @ONLY)
# Its type hints are the binding's own.
file(TOUCH ${package}/py.typed)
file(COPY_FILE ${BINDING} ${package}/_binding.py)
file(COPY_FILE ${PYPROJECT} ${WORK}/pyproject.toml)
# The libraries as installed (their run paths find each other), the C
# interface under its SONAME; a wheel holds no links.
file(COPY_FILE ${RUNTIME}/${C_LIBRARY} ${package}/lib/${C_LIBRARY})
file(COPY_FILE ${RUNTIME}/${MODULE} ${package}/lib/${MODULE})
file(GLOB private ${RUNTIME}/${PRIVATE}/*.so)
file(COPY ${private} DESTINATION ${package}/lib/${PRIVATE})
file(GLOB old ${OUTPUT}/zep00001-*.whl ${OUTPUT}/zep00001_demo-*.whl)
if(old)
  file(REMOVE ${old})
endif()
zep_run(${PYTHON} -m pip wheel --no-build-isolation --no-deps --no-index --disable-pip-version-check
        -w ${OUTPUT} ${WORK})

if(DEMO)
  set(demo ${WORK}/demo)
  file(MAKE_DIRECTORY ${demo}/zep00001/lib/${PRIVATE})
  file(COPY ${SOURCE}/demo/setup.cfg DESTINATION ${demo})
  file(COPY_FILE ${DEMO_PYPROJECT} ${demo}/pyproject.toml)
  file(GLOB simulated ${DEMO}/*.so)
  file(COPY ${simulated} DESTINATION ${demo}/zep00001/lib/${PRIVATE})
  zep_run(${PYTHON} -m pip wheel --no-build-isolation --no-deps --no-index
          --disable-pip-version-check -w ${OUTPUT} ${demo})
endif()
