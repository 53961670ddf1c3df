# SPDX-License-Identifier: GPL-3.0-or-later
# The warnings every project target is built with. QUILLARY_WERROR turns them
# into errors (the test command sets it); third-party headers are exempt
# because Qt and FluidSynth come in as system includes.
option(QUILLARY_WERROR "Treat warnings in project code as errors" OFF)
set(QUILLARY_WARNINGS -Wall -Wextra -Wconversion -Wfloat-conversion -Wshadow)

function(quillary_warnings target)
    target_compile_options(${target} PRIVATE ${QUILLARY_WARNINGS})
    if(QUILLARY_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# One library per folder: quillary_library(<name> SOURCES ... [FORMS ...] LINKS ...).
# Its folder's parent (src/) is the include root, so includes read "core/store.h".
# FORMS are the folder's Qt Designer files; a source includes what uic makes
# of one as "ui_<form>.h".
function(quillary_library name)
    cmake_parse_arguments(LIB "" "" "SOURCES;FORMS;LINKS" ${ARGN})
    add_library(${name} STATIC ${LIB_SOURCES} ${LIB_FORMS})
    if(LIB_FORMS)
        set_target_properties(${name} PROPERTIES AUTOUIC ON)
    endif()
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${LIB_LINKS})
    quillary_warnings(${name})
endfunction()

# Tests and benchmarks: the same warnings, but a setup step's result may go
# unchecked, since the assertions that follow check its outcome.
function(quillary_test_warnings target)
    quillary_warnings(${target})
    target_compile_options(${target} PRIVATE -Wno-unused-result)
endfunction()
