# SPDX-License-Identifier: GPL-3.0-or-later
# Debian's hardening, as dpkg-buildflags gives it, for every build that
# optimises (fortification needs it): the package is made from the tree the
# tests ran, so that tree is built the way the package ships. The build type
# keeps choosing -O and -g, and source paths stay absolute for debugging in
# the build folder. Bind-now is asked for on top of the defaults; PIE is the
# compiler's own default on Debian.
option(QUILLARY_HARDENING "Build with the distribution's hardening flags" ON)
find_program(QUILLARY_DPKG_BUILDFLAGS dpkg-buildflags)
mark_as_advanced(QUILLARY_DPKG_BUILDFLAGS)

if(QUILLARY_HARDENING AND QUILLARY_DPKG_BUILDFLAGS AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
    function(quillary_buildflags kind out)
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env
                    "DEB_BUILD_MAINT_OPTIONS=hardening=+all reproducible=-all"
                    "DEB_CXXFLAGS_MAINT_STRIP=-g -O2"
                    ${QUILLARY_DPKG_BUILDFLAGS} --get ${kind}
            OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
            RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
        endif()
        set(${out} "${flags}" PARENT_SCOPE)
    endfunction()
    quillary_buildflags(CPPFLAGS cppflags)
    quillary_buildflags(CXXFLAGS cxxflags)
    quillary_buildflags(LDFLAGS ldflags)
    string(APPEND CMAKE_CXX_FLAGS " ${cppflags} ${cxxflags}")
    foreach(kind EXE SHARED MODULE)
        string(APPEND CMAKE_${kind}_LINKER_FLAGS " ${ldflags}")
    endforeach()
    message(STATUS "Hardening: ${cppflags} ${cxxflags} ${ldflags}")
endif()
