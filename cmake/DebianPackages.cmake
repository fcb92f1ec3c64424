# Debian packages from the install components (`cpack -G DEB` or the `package` target):
#   libostravelk1         runtime: the stripped library, the USB3 Vision device rule, the GigE
#                         Vision receive buffer limit
#   libostravelk1-dialog  dialog: the configuration dialog module (Qt widgets), recommended by
#                         the library, so that a headless host can go without the GUI stack
#   libostravelk-dev      development: header, unversioned link, pkg-config file, CMake package
#   ostravelk-tools       the sample host ostravelk-host and its manual page
# and, in a build with debug information, one -dbgsym package of debug symbols for each package
# with binaries. Dependencies on other packages come from dpkg-shlibdeps. Every package carries
# the copyright file and the changelog in /usr/share/doc.

# The udev and sysctl directories are read under /usr and /usr/local; elsewhere they are only
# installed for the administrator to copy.
set(OSTRAVELK_RMEM_MAX 33554432)
configure_file(${PROJECT_SOURCE_DIR}/packaging/60-ostravelk-gige.conf.in
  ${PROJECT_BINARY_DIR}/packaging/60-ostravelk-gige.conf @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/postinst.in
  ${PROJECT_BINARY_DIR}/packaging/debian/postinst @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
    WORLD_EXECUTE)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/70-ostravelk-usb3vision.rules
  DESTINATION lib/udev/rules.d COMPONENT runtime)
install(FILES ${PROJECT_BINARY_DIR}/packaging/60-ostravelk-gige.conf
  DESTINATION lib/sysctl.d COMPONENT runtime)

set(CPACK_DEBIAN_PACKAGE_RELEASE 1)

# Each package's copyright file and compressed changelog.
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in
  ${PROJECT_BINARY_DIR}/packaging/debian/changelog @ONLY)
set(OSTRAVELK_CHANGELOG_GZ ${PROJECT_BINARY_DIR}/packaging/debian/changelog.Debian.gz)
add_custom_command(OUTPUT ${OSTRAVELK_CHANGELOG_GZ}
  COMMAND gzip -9n -c ${PROJECT_BINARY_DIR}/packaging/debian/changelog > ${OSTRAVELK_CHANGELOG_GZ}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in VERBATIM)
add_custom_target(ostravelk_changelog ALL DEPENDS ${OSTRAVELK_CHANGELOG_GZ})
foreach(component_package runtime:libostravelk${PROJECT_VERSION_MAJOR}
    dialog:libostravelk${PROJECT_VERSION_MAJOR}-dialog development:libostravelk-dev
    tools:ostravelk-tools)
  string(REPLACE ":" ";" component_package "${component_package}")
  list(GET component_package 0 component)
  list(GET component_package 1 package)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${OSTRAVELK_CHANGELOG_GZ}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  # lintian's overrides, each with its reason.
  file(READ ${PROJECT_SOURCE_DIR}/packaging/debian/lintian-overrides overrides)
  if(component STREQUAL "runtime")
    file(READ ${PROJECT_SOURCE_DIR}/packaging/debian/lintian-overrides.runtime runtime_overrides)
    string(APPEND overrides "${runtime_overrides}")
  endif()
  file(WRITE ${PROJECT_BINARY_DIR}/packaging/lintian/${package} "${overrides}")
  install(FILES ${PROJECT_BINARY_DIR}/packaging/lintian/${package}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides COMPONENT ${component})
endforeach()

# The library's symbols file, from its version script: every export since this version.
file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/ostravelk.map map_lines REGEX "^ +[A-Za-z_]+;$")
set(symbols "libostravelk.so.${PROJECT_VERSION_MAJOR} libostravelk${PROJECT_VERSION_MAJOR} #MINVER#\n")
string(APPEND symbols "* Build-Depends-Package: libostravelk-dev\n")
string(APPEND symbols " OSTRAVELK_1@OSTRAVELK_1 1.5.3\n")
foreach(line IN LISTS map_lines)
  string(REGEX REPLACE "^ +([A-Za-z_]+);$" "\\1" name "${line}")
  string(APPEND symbols " ${name}@OSTRAVELK_1 1.5.3\n")
endforeach()
file(WRITE ${PROJECT_BINARY_DIR}/packaging/debian/symbols "${symbols}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostravelk)
set(CPACK_PACKAGE_VENDOR "Ostravelk")
set(CPACK_PACKAGE_CONTACT "Ostravelk developers <dev@ostravelk.example>")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The install rules see the prefix /usr itself (and DESTDIR), so that they write plain /usr paths.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL runtime dialog development tools)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# Debug symbol packages only from a build with debug information (not from Release).
string(TOUPPER "${CMAKE_BUILD_TYPE}" build_type)
if(" ${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${build_type}} " MATCHES " -g[0-9]? ")
  set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
  set(CPACK_OSTRAVELK_FINISH_DBGSYM ${PROJECT_SOURCE_DIR}/packaging/debian/finish_dbgsym.sh)
  set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/FinishDebugPackages.cmake)
else()
  # Without debug packages CPack strips only when told (the symbol tables stay otherwise).
  set(CPACK_STRIP_FILES ON)
endif()
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

# Synopsis and description lines of at most 80 characters.
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "driver library for GigE Vision and USB3 Vision cameras
A machine-vision host loads libostravelk.so.1 and drives cameras through its
C interface: it lists the cameras, grabs images and reads and writes camera
settings. The package gives group video access to USB3 Vision devices (udev)
and raises the network receive buffer limit for GigE Vision (sysctl).")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libostravelk${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS
  "libostravelk${PROJECT_VERSION_MAJOR}-dialog (= ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
  ${PROJECT_BINARY_DIR}/packaging/debian/postinst
  ${PROJECT_SOURCE_DIR}/packaging/debian/postrm
  ${PROJECT_SOURCE_DIR}/packaging/debian/triggers
  ${PROJECT_BINARY_DIR}/packaging/debian/symbols)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

set(CPACK_COMPONENT_DIALOG_DESCRIPTION "camera driver library for GigE Vision and USB3 Vision (dialog)
The configuration dialog of libostravelk, with Qt widgets. The library loads it
when a host first opens a camera's configuration dialog; without it everything
else works.")
set(CPACK_COMPONENT_DIALOG_DEPENDS runtime)
set(CPACK_DEBIAN_DIALOG_PACKAGE_NAME libostravelk${PROJECT_VERSION_MAJOR}-dialog)
set(CPACK_DEBIAN_DIALOG_PACKAGE_SECTION libs)

set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "camera driver library for GigE Vision and USB3 Vision (development)
The C header, the pkg-config file (ostravelk) and the CMake package (Ostravelk)
for building against libostravelk.")
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libostravelk-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)

set(CPACK_COMPONENT_TOOLS_DESCRIPTION "camera driver library for GigE Vision and USB3 Vision (sample host)
ostravelk-host lists cameras, grabs images and reads and writes camera settings
through the library.")
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ostravelk-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)

include(CPack)
