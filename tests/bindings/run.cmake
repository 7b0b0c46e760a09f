# Builds a host of the generated bindings against the installed tree, as a
# host's own build does, and runs it against the tree's answering packages
# minus the cheque printer's, so that its bind tells the operator; or, with
# SALE, against the installed simulated devices, its receipt compared with
# that of the installed zep-host's demo.
#   cmake -DLANGUAGE=pascal|dotnet -DCOMPILER=<fpc|mcs> [-DRUNTIME=<mono>]
#         -DPREFIX=<installed tree> -DLIBDIR=<lib> -DSOURCE=<program>
#         -DWORK=<scratch directory> -DPACKAGES=<answering packages> [-DSALE=ON]
#         [-DARGUMENTS=...] [-DEXPECT=<texts the output must hold>] -P run.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../support/host_run.cmake)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/packages)
file(GLOB packages ${PACKAGES}/*)
foreach(package IN LISTS packages)
  get_filename_component(name ${package} NAME)
  if(NOT name MATCHES "ZEP00700")
    file(CREATE_LINK ${package} ${WORK}/packages/${name} SYMBOLIC)
  endif()
endforeach()

set(library_dir ${PREFIX}/${LIBDIR})
if(LANGUAGE STREQUAL "pascal")
  set(program ${WORK}/host)
  zep_run(${COMPILER} -vew -Sew -Fu${PREFIX}/share/zep00001/pascal -Fl${library_dir}
      -FU${WORK} -o${program} ${SOURCE})
else()
  set(program ${RUNTIME} ${WORK}/host.exe)
  zep_run(${COMPILER} -langversion:7 -warn:4 -warnaserror -out:${WORK}/host.exe ${SOURCE}
      ${PREFIX}/share/zep00001/dotnet/Zep00001.cs)
endif()

set(ENV{LD_LIBRARY_PATH} ${library_dir})
if(LANGUAGE STREQUAL "dotnet")
  # The runtime files alone, as a till without the development package has
  # them: no link libzep00001_c.so.
  file(GLOB runtime LIST_DIRECTORIES false ${library_dir}/*)
  list(FILTER runtime EXCLUDE REGEX "/libzep00001_c\\.so$")
  file(COPY ${runtime} DESTINATION ${WORK}/runtime)
  # The module finds its shared package in its private directory beside it.
  file(COPY ${library_dir}/zep00001/lib_dll.so DESTINATION ${WORK}/runtime/zep00001)
  set(ENV{LD_LIBRARY_PATH} ${WORK}/runtime)
  # The tests of the binding find the C interface by ZEP_C_LIBRARY alone.
  if(NOT SALE)
    unset(ENV{LD_LIBRARY_PATH})
    set(ENV{ZEP_C_LIBRARY} ${WORK}/runtime/libzep00001_c.so.1)
  endif()
endif()
if(SALE)
  set(ENV{ZEP_PACKAGE_PATH} ${library_dir}/zep00001/simulated)
else()
  set(ENV{ZEP_PACKAGE_PATH} ${WORK}/packages)
endif()
zep_run(${program} ${ARGUMENTS})
message("${output}")
zep_expect_output("${output}" ${EXPECT})
if(SALE)
  zep_expect_demo_receipt("${output}" ${PREFIX}/bin/zep-host)
endif()
