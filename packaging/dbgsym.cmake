# SPDX-License-Identifier: GPL-3.0-or-later
# Run by cpack once the files are staged: moves the debug information of the
# program and its module into quillary-dbgsym, where debuggers find it by
# build id, and strips them as Debian's own tools do. CPack's own debug
# package is not used: in CMake 3.25 its md5sums name the staging paths.
cmake_minimum_required(VERSION 3.25)

set(stage ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
set(name ${CPACK_PACKAGE_NAME}-dbgsym)
set(version ${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
set(tree ${CPACK_TOPLEVEL_DIRECTORY}/${name})
file(REMOVE_RECURSE ${tree})

function(run)
    execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE out OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
    set(out "${out}" PARENT_SCOPE)
endfunction()

set(ids)
foreach(elf IN ITEMS libexec/quillary/quillary libexec/quillary/quillary-fluid.so)
    run(readelf -n ${stage}/${elf})
    if(NOT out MATCHES "Build ID: ([0-9a-f][0-9a-f])([0-9a-f]+)")
        message(FATAL_ERROR "${elf} has no build id to file its symbols under")
    endif()
    list(APPEND ids ${CMAKE_MATCH_1}${CMAKE_MATCH_2})
    set(debug ${tree}/usr/lib/debug/.build-id/${CMAKE_MATCH_1}/${CMAKE_MATCH_2}.debug)
    get_filename_component(folder ${debug} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    run(objcopy --only-keep-debug --compress-debug-sections ${stage}/${elf} ${debug})
    if(elf MATCHES "\\.so$")
        run(strip --remove-section=.comment --remove-section=.note --strip-unneeded ${stage}/${elf})
    else()
        run(strip --remove-section=.comment --remove-section=.note ${stage}/${elf})
    endif()
endforeach()
file(MAKE_DIRECTORY ${tree}/usr/share/doc ${tree}/DEBIAN)

set(md5sums)
set(kib 0)
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${tree} ${tree}/usr/lib/*)
foreach(file IN LISTS files)
    file(MD5 ${tree}/${file} sum)
    string(APPEND md5sums "${sum}  ${file}\n")
    file(SIZE ${tree}/${file} bytes)
    math(EXPR kib "${kib} + (${bytes} + 1023) / 1024")
endforeach()
run(dpkg --print-architecture)
set(arch ${out})
list(JOIN ids " " ids)
file(WRITE ${tree}/DEBIAN/md5sums "${md5sums}")
file(WRITE ${tree}/DEBIAN/control "Package: ${name}
Source: ${CPACK_PACKAGE_NAME}
Version: ${version}
Auto-Built-Package: debug-symbols
Architecture: ${arch}
Maintainer: ${CPACK_PACKAGE_CONTACT}
Installed-Size: ${kib}
Depends: ${CPACK_PACKAGE_NAME} (= ${version})
Section: debug
Priority: optional
Description: debug symbols for ${CPACK_PACKAGE_NAME}
Build-Ids: ${ids}
")
file(CHMOD_RECURSE ${tree} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
     DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                           WORLD_READ WORLD_EXECUTE)
# The main package's copyright and change log stand for this one's too.
file(CREATE_LINK ${CPACK_PACKAGE_NAME} ${tree}/usr/share/doc/${name} SYMBOLIC)
# The symbols are compressed already; xz would spend seconds for nothing.
run(dpkg-deb --root-owner-group -Zgzip --build ${tree}
    ${CPACK_PACKAGE_DIRECTORY}/${name}_${version}_${arch}.deb)
