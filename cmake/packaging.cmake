# Packages of the install, made by cpack in a build tree:
#   cpack -G DEB   one Debian package a component, its Depends computed from
#                  the libraries its files link and from the components it needs
#   cpack -G ZIP   in the Windows build, the archive of what a till needs:
#                  the runtime and zep-host
set(CPACK_PACKAGE_NAME zep00001)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_PACKAGE_VENDOR zep00001)
set(ZEP_MAINTAINER "zep00001 maintainers <maintainers@zep00001.example>" CACHE STRING
    "Maintainer of the Debian packages, a name and an address")
set(CPACK_PACKAGE_CONTACT ${ZEP_MAINTAINER})
set(CPACK_STRIP_FILES ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/packaging-generators.cmake)

set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "module, default shared package and C interface
What a till runs: the module that binds driver packages into exported slots,
the default shared package that loads them (driver packages go beside it, in
the private directory zep00001/ of the library directory, or in
ZEP_PACKAGE_PATH) and the C interface libzep00001_c.so.1, which hosts in C,
C#, Python and Pascal load.")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "headers, CMake and pkg-config files, bindings
The public header, the C interface's header, the CMake package and the
pkg-config file, the Pascal unit, the .NET and Python bindings, and the
examples of hosts in C, C++, Python, Pascal and C#.")
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "zep-host: checks driver packages and runs the demo
zep-host binds slot sets through the module as a host does: check tells a
driver author whether a package serves its set and why one does not load,
select names the package a model code selects, demo runs a sale through the
simulated devices.")
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
set(CPACK_COMPONENT_DEMO_DESCRIPTION "simulated devices for zep-host demo, with headers
Driver packages that simulate a fiscal printer, a scale, a display and the
other devices, in a directory of their own that zep-host demo passes to the
shared package; the headers give their entries' signatures.")
# The demo runs in zep-host, where that is built.
if(TARGET zep-host)
  set(CPACK_COMPONENT_DEMO_DEPENDS tools)
endif()

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The C interface's package declares what its SONAME needs (shlibs), and has
# dpkg run ldconfig by trigger.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)
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

# Each Debian package carries its copyright and changelog in
# share/doc/<package>/, zep-host its manual page, the development package the
# examples; a Windows archive has none of them.
if(NOT WIN32)
  find_program(ZEP_GZIP gzip REQUIRED)
  set(debian ${PROJECT_BINARY_DIR}/packaging/debian)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${debian}/copyright @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${debian}/changelog @ONLY)
  set(pages ${debian}/changelog.gz)
  add_custom_command(OUTPUT ${debian}/changelog.gz
    COMMAND ${ZEP_GZIP} -9nkf ${debian}/changelog
    DEPENDS ${debian}/changelog VERBATIM)
  get_cmake_property(components COMPONENTS)
  foreach(component IN LISTS components)
    string(TOUPPER ${component} upper)
    set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
    # The synopsis names the project and the component.
    set(CPACK_DEBIAN_${upper}_DESCRIPTION
        "${PROJECT_DESCRIPTION}: ${CPACK_COMPONENT_${upper}_DESCRIPTION}")
    install(FILES ${debian}/copyright ${debian}/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  endforeach()
  # zep-host's manual page is its own --help, so that the two never differ.
  # A sanitized build makes no packages to ship, and its zep-host is better
  # not run at build time.
  if(TARGET zep-host AND NOT ZEP_SANITIZE)
    add_custom_command(OUTPUT ${debian}/zep-host.1.gz
      COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:zep-host> -DVERSION=${PROJECT_VERSION}
              -DOUTPUT=${debian}/zep-host.1 -P ${PROJECT_SOURCE_DIR}/packaging/debian/manpage.cmake
      COMMAND ${ZEP_GZIP} -9nf ${debian}/zep-host.1
      DEPENDS zep-host ${PROJECT_SOURCE_DIR}/packaging/debian/manpage.cmake VERBATIM)
    list(APPEND pages ${debian}/zep-host.1.gz)
    install(FILES ${debian}/zep-host.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
  endif()
  add_custom_target(zep_debian_pages ALL DEPENDS ${pages})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
          COMPONENT development)
endif()

include(CPack)
