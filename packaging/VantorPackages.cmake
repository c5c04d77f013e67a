# CPack settings of the two packages built from one build tree: `cpack -G DEB` gives
# vantor_<version>_<arch>.deb, installing into the program folder /opt/vantor with the system
# integration around it; `cpack -G TGZ` gives Vantor-<version>-Linux.tar.gz, the portable program
# folder. Which components each holds is chosen per generator in CPackGenerators.cmake.in.

set(CPACK_PACKAGE_NAME Vantor)
set(CPACK_PACKAGE_VENDOR "KELDRA S.A.")
set(CPACK_PACKAGE_CONTACT "KELDRA Vantor team <vantor@keldra.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "KELDRA Vantor sensor commissioning tool and its MODBUS RTU driver")
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
# The build's debugging information stays in the build tree.
set(CPACK_STRIP_FILES ON)
set(CPACK_THREADS 1)

# Each package is one file made of several install components.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

# Debian package.
set(CPACK_DEBIAN_PACKAGE_NAME vantor)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The summary above is the description's first line; CPack indents these lines and marks the
# empty one.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "AppVantor shows live acceleration, temperature and self-monitoring values of
KELDRA Vantor sensors on a serial MODBUS RTU bus, reads and writes their
configuration and scans the bus for sensors.

The package installs the program folder /opt/vantor: the program, the korvane
driver library with its C header and pkg-config file, and the dosdevices
folder that maps COM port names to serial devices. Members of the group
dialout can save the program's settings and assign ports.")
# Dependencies from the binaries themselves (dpkg-shlibdeps); libkorvane.so.3 is the package's own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
configure_file(debian/postinst.in ${CMAKE_CURRENT_BINARY_DIR}/debian/postinst @ONLY)
configure_file(debian/postrm.in ${CMAKE_CURRENT_BINARY_DIR}/debian/postrm @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_BINARY_DIR}/debian/postinst
  ${CMAKE_CURRENT_BINARY_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

configure_file(CPackGenerators.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/CPackGenerators.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/CPackGenerators.cmake)

include(CPack)
