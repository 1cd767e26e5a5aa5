# SPDX-License-Identifier: GPL-3.0-or-later
# `cpack` makes two packages from one build: a Debian package laid out for /usr (install
# component "desktop"), and the portable folder as a .tar.gz: both programs with a conf.ini
# beside them (component "portable", which a plain `cmake --install` leaves out).
set(CPACK_PACKAGE_NAME orvik-decoder)
set(CPACK_PACKAGE_VENDOR "Orvik decoder developers")
set(CPACK_PACKAGE_CONTACT "Orvik decoder developers <orvik@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Decoder for the CW telemetry beacon of the satellite Orvik")
set(CPACK_PACKAGE_DESCRIPTION
    "Paste copied beacon lines into the log box: every change decodes them into records of\n"
    "31 engineering values, shown in four panels and a bar chart, and written to CSV.\n"
    "orvik-tlm decodes any number of lines from the command line.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/COPYING)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_SOURCE_GENERATOR "")

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/CPackPerGenerator.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/orvik")
# The Qt libraries come from dpkg-shlibdeps; these are loaded at run time, not linked.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "hicolor-icon-theme")

set(CPACK_ORVIK_PORTABLE_NAME "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-portable-${CMAKE_SYSTEM_PROCESSOR}")

include(CPack)
