# Packages of the install, made by cpack in a build tree:
#   cpack -G DEB   one Debian package a component, its Depends computed from
#                  the libraries its files link and from the components it needs
#   cpack -G ZIP   in the Windows build, the archive of what a till needs:
#                  the runtime and zep-host
set(CPACK_PACKAGE_NAME zep00001)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_PACKAGE_VENDOR zep00001)
set(CPACK_PACKAGE_CONTACT "zep00001 maintainers")
set(CPACK_STRIP_FILES ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/packaging-generators.cmake)

set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "the module, the default shared package and the C interface")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "headers, CMake package and pkg-config file for building hosts")
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "zep-host: checks driver packages and runs the demo")
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
set(CPACK_COMPONENT_DEMO_DESCRIPTION "simulated devices for zep-host demo, with their headers")
# The demo runs in zep-host, where that is built.
if(TARGET zep-host)
  set(CPACK_COMPONENT_DEMO_DEPENDS tools)
endif()

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The components' own libraries are looked for in the build tree; the
# components' Depends name their packages.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libzep00001)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libzep00001-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME zep-host)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_DEMO_PACKAGE_NAME zep00001-demo)
set(CPACK_DEBIAN_DEMO_PACKAGE_SECTION misc)

include(CPack)
