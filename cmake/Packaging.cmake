# `cpack -G DEB` in the Linux build folder makes corvexa_<version>_amd64.deb
# from the install rules: the program folder /usr/lib/corvexa/ (program,
# language library, lang/), the launchers in /usr/bin, the desktop entry and
# the icon. The dependencies are read off the binaries by dpkg-shlibdeps.
include(GNUInstallDirs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvexa)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Corvexa developers")
set(CPACK_PACKAGE_CONTACT "Corvexa developers <corvexa@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "commissioning and calibration of two-wire transmitters over a serial line")
set(CPACK_PACKAGE_DESCRIPTION
    "Reads and writes the configuration registers of temperature and level\n\
transmitters (Modbus RTU at 9600 baud), samples their inputs and trims\n\
their 4-20 mA or 0-10 V outputs.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its display platforms (xcb, wayland) as plugins, which no
# binary links to.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
# The program's own library lives in the program folder, not on the
# system's library path.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${CMAKE_BINARY_DIR}/_CPack_Packages/Linux/DEB/corvexa-${PROJECT_VERSION}-Linux/usr/${CMAKE_INSTALL_LIBDIR}/corvexa)
set(CPACK_STRIP_FILES ON)
include(CPack)
