# The window on the Linux desktop (unix install layout, when the window is built): the desktop
# entry (menu item, "Open with" for video, music and pictures), the icon at every size the
# icon theme looks for, and the AppStream description for software centres, written from its
# template with the build's addresses (WriteMetainfo.cmake). Their sources are in packaging/;
# the icon's PNG sizes are rendered from its SVG at build time with rsvg-convert
# (librsvg2-bin). Also the documents a package needs: the copyright file, the changelog and
# the manual pages of the two programs (from packaging/linux/*.1).

set(PALOMIX_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(PALOMIX_ICON_SVG ${PALOMIX_PACKAGING_DIR}/palomix.svg)
set(PALOMIX_ICON_SIZES 16 22 24 32 48 64 128 256)
set(PALOMIX_APP_ID example.palomix.Palomix)

if(NOT PALOMIX_INSTALL_LAYOUT STREQUAL "unix")
    return()
endif()

set(palomix_desktop_outputs)
# The folder the compressed documents are written to. Made now: a custom command's shell
# redirection does not make it, and not every generator makes the folder of an output.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)

# The changelog, compressed as Debian wants it: maximum compression, no name or time stamp.
find_program(PALOMIX_GZIP gzip)
if(PALOMIX_GZIP)
    set(palomix_changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
    add_custom_command(OUTPUT ${palomix_changelog}
        COMMAND ${PALOMIX_GZIP} -9nc ${PALOMIX_PACKAGING_DIR}/debian/changelog > ${palomix_changelog}
        DEPENDS ${PALOMIX_PACKAGING_DIR}/debian/changelog
        COMMENT "Compressing the changelog")
    list(APPEND palomix_desktop_outputs ${palomix_changelog})
    install(FILES ${palomix_changelog} DESTINATION share/doc/palomix)
endif()
install(FILES ${PALOMIX_PACKAGING_DIR}/debian/copyright DESTINATION share/doc/palomix)

# The manual pages, of the programs this build makes; compressed like the changelog when gzip
# is there (Debian wants them so), else as they are.
foreach(program palomix palomix-batch)
    if(NOT TARGET ${program})
        continue()
    endif()
    set(page ${PALOMIX_PACKAGING_DIR}/linux/${program}.1)
    if(PALOMIX_GZIP)
        set(compressed ${CMAKE_BINARY_DIR}/packaging/${program}.1.gz)
        add_custom_command(OUTPUT ${compressed}
            COMMAND ${PALOMIX_GZIP} -9nc ${page} > ${compressed}
            DEPENDS ${page}
            COMMENT "Compressing the manual page ${program}(1)")
        list(APPEND palomix_desktop_outputs ${compressed})
        install(FILES ${compressed} DESTINATION share/man/man1)
    else()
        install(FILES ${page} DESTINATION share/man/man1)
    endif()
endforeach()

if(NOT TARGET palomix)
    add_custom_target(palomix_desktop_files ALL DEPENDS ${palomix_desktop_outputs})
    return()
endif()

install(FILES ${PALOMIX_PACKAGING_DIR}/linux/palomix.desktop DESTINATION share/applications)
include(${CMAKE_CURRENT_LIST_DIR}/WriteMetainfo.cmake)
set(PALOMIX_METAINFO ${CMAKE_BINARY_DIR}/packaging/${PALOMIX_APP_ID}.metainfo.xml)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PALOMIX_PACKAGING_DIR}/linux/${PALOMIX_APP_ID}.metainfo.xml.in)
palomix_write_metainfo(${PALOMIX_PACKAGING_DIR}/linux/${PALOMIX_APP_ID}.metainfo.xml.in
                       ${PALOMIX_METAINFO} "${PALOMIX_WEB_SITE}" "${PALOMIX_SCREENSHOTS_URL}")
install(FILES ${PALOMIX_METAINFO} DESTINATION share/metainfo)
install(FILES ${PALOMIX_ICON_SVG} DESTINATION share/icons/hicolor/scalable/apps)

find_program(PALOMIX_RSVG_CONVERT rsvg-convert DOC "Renders the icon's PNG sizes")
if(PALOMIX_RSVG_CONVERT)
    foreach(size IN LISTS PALOMIX_ICON_SIZES)
        set(dir ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps)
        add_custom_command(OUTPUT ${dir}/palomix.png
            COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
            COMMAND ${PALOMIX_RSVG_CONVERT} --width ${size} --height ${size}
                    --output ${dir}/palomix.png ${PALOMIX_ICON_SVG}
            DEPENDS ${PALOMIX_ICON_SVG}
            COMMENT "Rendering the ${size}x${size} icon"
            VERBATIM)
        list(APPEND palomix_desktop_outputs ${dir}/palomix.png)
        install(FILES ${dir}/palomix.png DESTINATION share/icons/hicolor/${size}x${size}/apps)
    endforeach()
else()
    message(WARNING "rsvg-convert (librsvg2-bin) was not found: only the scalable icon is "
                    "installed, which some desktops do not show.")
endif()
add_custom_target(palomix_desktop_files ALL DEPENDS ${palomix_desktop_outputs})
