# SPDX-License-Identifier: GPL-3.0-or-later
# The decoding core and the receiver are standard C++ only. Configuring fails when one of its files
# includes a Qt header, so the rule cannot erode unnoticed.
function(orvik_forbid_qt_includes dir)
    file(GLOB_RECURSE files "${dir}/*.h" "${dir}/*.cpp")
    foreach(f IN LISTS files)
        file(STRINGS "${f}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]+|Qt[A-Za-z]*/)")
        if(hits)
            message(FATAL_ERROR "${f} includes a Qt header; ${dir} must stay standard C++: ${hits}")
        endif()
    endforeach()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${files})
endfunction()
