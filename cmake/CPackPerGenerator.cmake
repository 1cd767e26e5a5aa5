# SPDX-License-Identifier: GPL-3.0-or-later
# Read by cpack once per generator: each package takes its own install component.
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_COMPONENTS_ALL desktop)
else()
    set(CPACK_COMPONENTS_ALL portable)
    # The tarball unpacks into one folder, named as the file.
    set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_ORVIK_PORTABLE_NAME}")
    set(CPACK_ARCHIVE_FILE_NAME "${CPACK_ORVIK_PORTABLE_NAME}")
endif()
