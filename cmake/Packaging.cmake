# `cpack -G DEB` in the Linux build folder makes corvexa_<version>_amd64.deb
# from the install rules: the program folder /usr/lib/corvexa/ (programs,
# lib/ with the language library, lang/), the launchers in /usr/bin, the
# manual pages, the bash completion, the desktop entry, the icons and the
# AppStream file. The dependencies are read off the binaries by
# dpkg-shlibdeps.
include(GNUInstallDirs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvexa)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Corvexa developers")
# Whoever publishes the package gives the address it is maintained at.
set(CORVEXA_PACKAGE_MAINTAINER "Corvexa developers <packages@corvexa.org>"
    CACHE STRING "The Maintainer of the Debian package: name <address>")
set(CPACK_PACKAGE_CONTACT "${CORVEXA_PACKAGE_MAINTAINER}")
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
# Without a CJK face the Chinese window is empty boxes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n")
# The program's own library lives in the program folder, not on the
# system's library path.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${CMAKE_BINARY_DIR}/_CPack_Packages/Linux/DEB/corvexa-${PROJECT_VERSION}-Linux/usr/${CMAKE_INSTALL_LIBDIR}/corvexa/lib)
set(CPACK_STRIP_FILES ON)
include(CPack)

# What Debian asks of every package: the copyright, the changelog
# (compressed, without a time stamp) and a manual page for each program on
# the PATH, made from its --help by help2man.
set(corvexa_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/corvexa)
install(FILES ${PROJECT_SOURCE_DIR}/res/package/copyright DESTINATION ${corvexa_doc_dir})
configure_file(${PROJECT_SOURCE_DIR}/res/package/changelog.in ${CMAKE_BINARY_DIR}/package/changelog
               @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/package/changelog.gz
  COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/package/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/package/changelog
  VERBATIM)
set(corvexa_package_files ${CMAKE_BINARY_DIR}/package/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/package/changelog.gz DESTINATION ${corvexa_doc_dir})

find_program(CORVEXA_HELP2MAN help2man)
if(CORVEXA_HELP2MAN)
  set(corvexa_man_corvexa "commission and calibrate two-wire transmitters")
  set(corvexa_man_corvexa-cli "read, write, sample, trim and verify two-wire transmitters")
  set(corvexa_man_corvexa-langpack "pack and unpack Corvexa language files")
  set(corvexa_man_corvexa-sim "a simulated two-wire transmitter on a pseudo-terminal")
  foreach(program corvexa corvexa-cli corvexa-langpack corvexa-sim)
    set(page ${CMAKE_BINARY_DIR}/package/${program}.1)
    # The window's program says its --help without a display.
    add_custom_command(OUTPUT ${page}.gz
      COMMAND env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ${CORVEXA_HELP2MAN} -N
              --no-discard-stderr -n ${corvexa_man_${program}} -o ${page} $<TARGET_FILE:${program}>
      COMMAND gzip -9nf ${page}
      DEPENDS ${program}
      VERBATIM)
    list(APPEND corvexa_package_files ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
else()
  message(WARNING "help2man not found: the package will have no manual pages")
endif()
add_custom_target(corvexa_package_files ALL DEPENDS ${corvexa_package_files})
