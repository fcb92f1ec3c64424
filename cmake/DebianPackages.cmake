# Debian packages from the install components (`cpack -G DEB` or the `package` target):
#   libostravelk1       runtime: the stripped library, the USB3 Vision device rule, the GigE
#                       Vision receive buffer limit
#   libostravelk-dev    development: header, unversioned link, pkg-config file, CMake package
#   ostravelk-tools     the sample host ostravelk-host
# and one -dbgsym package of debug symbols for each package with binaries. Dependencies on other
# packages come from dpkg-shlibdeps.

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

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostravelk)
set(CPACK_PACKAGE_VENDOR "Ostravelk")
set(CPACK_PACKAGE_CONTACT "Ostravelk developers <ostravelk@localhost>")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL runtime development tools)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "camera driver library for GigE Vision and USB3 Vision cameras\n\
A machine-vision host loads libostravelk.so.1 and drives cameras through its C interface. \
Installs udev access to USB3 Vision devices for group video and a larger network receive \
buffer limit for GigE Vision.")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libostravelk${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
  ${PROJECT_BINARY_DIR}/packaging/debian/postinst
  ${PROJECT_SOURCE_DIR}/packaging/debian/postrm
  ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
  "camera driver library for GigE Vision and USB3 Vision cameras (development files)\n\
The C header, the pkg-config file (ostravelk) and the CMake package (Ostravelk) for building \
against libostravelk.")
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libostravelk-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)

set(CPACK_COMPONENT_TOOLS_DESCRIPTION
  "camera driver library for GigE Vision and USB3 Vision cameras (sample host)\n\
ostravelk-host lists cameras, grabs images and reads and writes camera settings through \
the library.")
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ostravelk-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)

include(CPack)
