# SPDX-License-Identifier: GPL-3.0-or-later
# Dependencies between the folders point one way. Configuring fails when a file of `dir`
# (not of its subfolders) includes a header under `folder`/ that `allowed`, a regular
# expression for the rest of the path, does not match, so that the rule cannot erode unnoticed.
# An empty `allowed` lets no header of `folder` through.
function(orvik_forbid_includes_from dir folder allowed)
    file(GLOB files "${dir}/*.h" "${dir}/*.cpp")
    foreach(f IN LISTS files)
        file(STRINGS "${f}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*\"${folder}/")
        if(NOT allowed STREQUAL "")
            list(FILTER hits EXCLUDE REGEX "include[ \t]*\"${folder}/(${allowed})\"")
        endif()
        if(hits)
            message(FATAL_ERROR "${f} includes a header of ${folder}/ that it must not: ${hits}")
        endif()
    endforeach()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${files})
endfunction()
