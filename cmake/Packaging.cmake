# Packages made with CPack from the install rules. On Linux `cpack -G DEB` (or the target
# palomix_deb) makes palomix_VERSION_ARCH.deb: the unix layout under /usr, depending on the
# libraries dpkg-shlibdeps finds the executables need, and on ffmpeg, which the links in
# /usr/lib/palomix/cores point at (/usr/bin/ffmpeg, /usr/bin/ffprobe).

set(CPACK_PACKAGE_NAME palomix)
set(CPACK_PACKAGE_VENDOR "The Palomix developers")
set(CPACK_PACKAGE_CONTACT "The Palomix developers <palomix@palomix.example>")
if(NOT PALOMIX_WEB_SITE STREQUAL "")
    set(CPACK_PACKAGE_HOMEPAGE_URL "${PALOMIX_WEB_SITE}")
endif()
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "batch converter of video, music and pictures for phones and players")
set(CPACK_PACKAGE_DESCRIPTION
    "Palomix converts many files at once for phones, tablets and portable
players. Choose a conversion settings file and one of its commands,
choose an output folder, then drop files or folders onto the window:
each file is converted in turn with ffmpeg. It can write straight onto
a PSP or a WALKMAN mounted as a drive, and speaks Japanese and English.
.
palomix-batch runs the same conversions from a terminal or a script,
and can list its jobs as JSON to spread a large library over several
machines.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_PACKAGE_NAME palomix)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # palomix_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS ffmpeg)
# The window's Japanese texts need a CJK font, and Qt's own texts (its dialogs) their
# translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Per generator: the DEB's cores/ links point at the ffmpeg of the ffmpeg package, wherever
# the build found one.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/PalomixCPackOptions.cmake)
file(WRITE ${CPACK_PROJECT_CONFIG_FILE}
    "if(CPACK_GENERATOR STREQUAL \"DEB\")\n"
    "    set(ENV{PALOMIX_CORES_LINK_FOLDER} /usr/bin)\n"
    "endif()\n")

include(CPack)

# The links in cores/ point at the system's converters by their absolute path on purpose: so
# they do from a copy of the tree anywhere (dpkg-deb -x), as from /usr/lib/palomix.
if(PALOMIX_INSTALL_LAYOUT STREQUAL "unix" AND NOT WIN32)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/lintian-overrides
            DESTINATION share/lintian/overrides RENAME palomix)
endif()

# Builds the Debian package in the build folder; the package test uses it.
if(PALOMIX_INSTALL_LAYOUT STREQUAL "unix" AND NOT WIN32)
    add_custom_target(palomix_deb
        COMMAND ${CMAKE_CPACK_COMMAND} -G DEB --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
        COMMENT "Making the Debian package"
        VERBATIM)
    # What the install takes from the build tree.
    foreach(target palomix palomix-batch palomix-probe palomix_program_folder palomix_desktop_files)
        if(TARGET ${target})
            add_dependencies(palomix_deb ${target})
        endif()
    endforeach()
endif()
