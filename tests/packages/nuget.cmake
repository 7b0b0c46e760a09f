# Uses the NuGet package made into SOURCE as a .NET host does, restored into
# the packages folder CACHE, without the previous Zep00001:
#   with PROJECT, runs the xunit project there with dotnet test;
#   with CONSOLE, makes a fresh console project there, adds the package to it
#   with dotnet add package, puts PROGRAM in as its Program.cs and runs it;
#   with DEMO_PROGRAM too, makes a second one that adds Zep00001.Demo beside
#   Zep00001 and runs DEMO_PROGRAM (the README's sale) with no setting at all,
#   its receipt compared with zep-host demo's (DEMO_HOST).
# PACKAGES is where the driver packages are.
#   cmake -DDOTNET=... -DSOURCE=... -DVERSION=... -DCACHE=... -DPACKAGES=...
#         (-DPROJECT=... | -DCONSOLE=... -DPROGRAM=...) -P nuget.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../support/host_run.cmake)
file(REMOVE_RECURSE ${CACHE}/zep00001 ${CACHE}/zep00001.demo)
set(ENV{NUGET_PACKAGES} ${CACHE})
set(ENV{DOTNET_CLI_TELEMETRY_OPTOUT} 1)
set(ENV{DOTNET_NOLOGO} 1)
set(ENV{ZEP_PACKAGE_PATH} ${PACKAGES})
set(ENV{ZEP_TEST_VERSION} ${VERSION})
if(PROJECT)
  zep_run(${DOTNET} test ${PROJECT} -p:RestoreAdditionalProjectSources=${SOURCE})
  message("${output}")
else()
  file(REMOVE_RECURSE ${CONSOLE})
  zep_run(${DOTNET} new console --output ${CONSOLE} --name ZepConsole --no-restore)
  zep_run(${DOTNET} add package Zep00001 --version ${VERSION} --source ${SOURCE}
          WORKING_DIRECTORY ${CONSOLE})
  file(COPY_FILE ${PROGRAM} ${CONSOLE}/Program.cs)
  zep_run(${DOTNET} run --project ${CONSOLE})
  message("${output}")
  zep_expect_output("${output}" "EmitirVenda bound: True" "Erro na carga do pacote: X"
                    "assembly version: ${VERSION}.0" "simulated devices: 0" "escaped: True")
  # The IDE's documentation of the binding, beside the assembly.
  if(NOT EXISTS ${CACHE}/zep00001/${VERSION}/lib/netstandard2.0/Zep00001.xml)
    message(FATAL_ERROR "the package Zep00001 holds no Zep00001.xml")
  endif()
  if(DEMO_PROGRAM)
    set(demo ${CONSOLE}-demo)
    file(REMOVE_RECURSE ${demo})
    zep_run(${DOTNET} new console --output ${demo} --name ZepSale --no-restore)
    foreach(package IN ITEMS Zep00001 Zep00001.Demo)
      zep_run(${DOTNET} add package ${package} --version ${VERSION} --source ${SOURCE}
              WORKING_DIRECTORY ${demo})
    endforeach()
    file(COPY_FILE ${DEMO_PROGRAM} ${demo}/Program.cs)
    unset(ENV{ZEP_PACKAGE_PATH})
    zep_run(${DOTNET} run --project ${demo})
    message("${output}")
    zep_expect_demo_receipt("${output}" ${DEMO_HOST})
  endif()
endif()
