# The program folder: the executables beside convert_settings/ (the conversion settings
# files that ship) and cores/ (the converters the command lines name). The build fills
# ${PALOMIX_PROGRAM_DIR} this way, so the build tree runs as it is, and the install lays out
# the same self-contained folder (see "install" below for where).
#
# cores/ on Linux holds symbolic links to the system's ffmpeg and ffprobe. On Windows it is
# left empty: put ffmpeg.exe (and any other converter the settings files name) into the
# cores folder beside palomix.exe yourself.

set(PALOMIX_SETTINGS_SOURCE_DIR ${PROJECT_SOURCE_DIR}/convert_settings)
set(PALOMIX_SETTINGS_BUILD_DIR ${PALOMIX_PROGRAM_DIR}/convert_settings)
set(PALOMIX_CORES_BUILD_DIR ${PALOMIX_PROGRAM_DIR}/cores)

# --- convert_settings/: a copy of the source folder, refreshed when a file changes ---------
# Copies rather than links, so an edit in the program folder never reaches the sources by
# accident; editing the source file and building again updates the copy.
file(GLOB_RECURSE PALOMIX_SETTINGS_FILES CONFIGURE_DEPENDS LIST_DIRECTORIES false
    RELATIVE ${PALOMIX_SETTINGS_SOURCE_DIR} ${PALOMIX_SETTINGS_SOURCE_DIR}/*)

# Copies of files that were removed from the sources since the last configure go too; only
# files this build copied itself are touched, never files someone put there by hand.
set(palomix_settings_manifest ${CMAKE_BINARY_DIR}/palomix-convert-settings.txt)
if(EXISTS ${palomix_settings_manifest})
    file(STRINGS ${palomix_settings_manifest} palomix_settings_previous)
    foreach(rel IN LISTS palomix_settings_previous)
        if(NOT rel IN_LIST PALOMIX_SETTINGS_FILES)
            file(REMOVE ${PALOMIX_SETTINGS_BUILD_DIR}/${rel})
        endif()
    endforeach()
endif()
list(JOIN PALOMIX_SETTINGS_FILES "\n" palomix_settings_manifest_text)
file(WRITE ${palomix_settings_manifest} "${palomix_settings_manifest_text}\n")

set(palomix_program_folder_outputs)
foreach(rel IN LISTS PALOMIX_SETTINGS_FILES)
    set(src ${PALOMIX_SETTINGS_SOURCE_DIR}/${rel})
    set(dst ${PALOMIX_SETTINGS_BUILD_DIR}/${rel})
    add_custom_command(OUTPUT ${dst}
        COMMAND ${CMAKE_COMMAND} -E copy ${src} ${dst}
        COMMAND ${CMAKE_COMMAND} -E touch ${dst}
        DEPENDS ${src}
        COMMENT "Copying convert_settings/${rel} into the program folder"
        VERBATIM)
    list(APPEND palomix_program_folder_outputs ${dst})
endforeach()
file(MAKE_DIRECTORY ${PALOMIX_SETTINGS_BUILD_DIR} ${PALOMIX_CORES_BUILD_DIR})

# --- cores/: links to the system's converters (not on Windows) ------------------------------
set(PALOMIX_CORE_TOOLS)
if(NOT WIN32)
    find_program(PALOMIX_FFMPEG ffmpeg DOC "The ffmpeg that cores/ffmpeg links to")
    find_program(PALOMIX_FFPROBE ffprobe DOC "The ffprobe that cores/ffprobe links to")
    foreach(tool ffmpeg ffprobe)
        string(TOUPPER ${tool} var)
        if(PALOMIX_${var})
            list(APPEND PALOMIX_CORE_TOOLS ${tool})
            # A link that already stands there is kept: the rule runs only while the link
            # is missing (or dangles), and never replaces a converter someone put in cores/.
            add_custom_command(OUTPUT ${PALOMIX_CORES_BUILD_DIR}/${tool}
                COMMAND ${CMAKE_COMMAND} -E create_symlink ${PALOMIX_${var}}
                        ${PALOMIX_CORES_BUILD_DIR}/${tool}
                COMMENT "Linking cores/${tool} to ${PALOMIX_${var}}"
                VERBATIM)
            list(APPEND palomix_program_folder_outputs ${PALOMIX_CORES_BUILD_DIR}/${tool})
        else()
            message(WARNING "${tool} was not found: cores/${tool} is not created, and the "
                            "conversion commands cannot run until it is installed "
                            "(apt-get install ffmpeg) and CMake is run again.")
        endif()
    endforeach()
else()
    message(STATUS "Palomix: put ffmpeg.exe into the cores folder beside palomix.exe")
endif()

add_custom_target(palomix_program_folder ALL DEPENDS ${palomix_program_folder_outputs})

# --- install ---------------------------------------------------------------------------
# Two layouts of the same program folder:
#   unix    the program folder is <prefix>/lib/palomix, with links to its executables in
#           <prefix>/bin and the desktop files under <prefix>/share (DesktopIntegration.cmake):
#           what the Debian package holds, and a copy that runs from any prefix
#           (cmake --install build --prefix ~/palomix, then ~/palomix/bin/palomix).
#   folder  the prefix is the program folder itself and holds nothing else but the licence
#           (LICENSE.txt): the Windows layout, which an installer ships as it is.
# The program finds its folder from its own path with links resolved, so a link in bin/ works.
if(WIN32)
    set(palomix_default_layout folder)
else()
    set(palomix_default_layout unix)
endif()
set(PALOMIX_INSTALL_LAYOUT ${palomix_default_layout} CACHE STRING
    "unix: the program folder in lib/palomix with links in bin/ and desktop files in share/; folder: the prefix is the program folder")
set_property(CACHE PALOMIX_INSTALL_LAYOUT PROPERTY STRINGS unix folder)
if(PALOMIX_INSTALL_LAYOUT STREQUAL "unix")
    set(PALOMIX_INSTALL_PROGRAM_DIR lib/palomix)
elseif(PALOMIX_INSTALL_LAYOUT STREQUAL "folder")
    set(PALOMIX_INSTALL_PROGRAM_DIR .)
    # The prefix is the program folder, so the default is a folder of its own.
    if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT AND NOT WIN32)
        set(CMAKE_INSTALL_PREFIX /opt/palomix CACHE PATH "The program folder to install into"
            FORCE)
    endif()
else()
    message(FATAL_ERROR "PALOMIX_INSTALL_LAYOUT is '${PALOMIX_INSTALL_LAYOUT}': use unix or folder")
endif()

set(palomix_installed_programs)
foreach(target palomix palomix-batch)
    if(TARGET ${target})
        install(TARGETS ${target} RUNTIME DESTINATION ${PALOMIX_INSTALL_PROGRAM_DIR})
        list(APPEND palomix_installed_programs ${target})
    endif()
endforeach()
# The media probe helper goes beside them, but is no command of its own: no link on the PATH.
if(TARGET palomix-probe)
    install(TARGETS palomix-probe RUNTIME DESTINATION ${PALOMIX_INSTALL_PROGRAM_DIR})
endif()
install(DIRECTORY ${PALOMIX_SETTINGS_SOURCE_DIR}/ DESTINATION ${PALOMIX_INSTALL_PROGRAM_DIR}/convert_settings)
install(DIRECTORY DESTINATION ${PALOMIX_INSTALL_PROGRAM_DIR}/cores)
# A program folder shipped on its own carries the licence's text with it (Windows has no
# copy of its own); the unix layout names it in share/doc/palomix/copyright.
if(PALOMIX_INSTALL_LAYOUT STREQUAL "folder")
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${PALOMIX_INSTALL_PROGRAM_DIR}
            RENAME LICENSE.txt)
endif()
if(WIN32)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/cores-README.txt
            DESTINATION ${PALOMIX_INSTALL_PROGRAM_DIR}/cores RENAME README.txt)
endif()
foreach(tool IN LISTS PALOMIX_CORE_TOOLS)
    string(TOUPPER ${tool} var)
    # Evaluated at install time, so --prefix and DESTDIR are honoured. The link points where
    # the converter was found when the build was configured, or into the folder
    # PALOMIX_CORES_LINK_FOLDER names at install time (the Debian package: /usr/bin, where its
    # ffmpeg dependency puts it). A regular file in the installed cores/ is a converter chosen
    # by hand and stays; a link is renewed.
    install(CODE "
        set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${PALOMIX_INSTALL_PROGRAM_DIR}/cores/${tool}\")
        set(target \"${PALOMIX_${var}}\")
        if(NOT \"\$ENV{PALOMIX_CORES_LINK_FOLDER}\" STREQUAL \"\")
            set(target \"\$ENV{PALOMIX_CORES_LINK_FOLDER}/${tool}\")
        endif()
        if(IS_SYMLINK \"\${link}\" OR NOT EXISTS \"\${link}\")
            file(REMOVE \"\${link}\")
            message(STATUS \"Linking: \${link} -> \${target}\")
            file(CREATE_LINK \"\${target}\" \"\${link}\" SYMBOLIC)
        else()
            message(STATUS \"Keeping: \${link}\")
        endif()
    ")
endforeach()

# bin/: relative links into the program folder, so the installed tree can be moved whole.
if(PALOMIX_INSTALL_LAYOUT STREQUAL "unix")
    foreach(program IN LISTS palomix_installed_programs)
        file(RELATIVE_PATH palomix_link_target /prefix/bin
             /prefix/${PALOMIX_INSTALL_PROGRAM_DIR}/${program})
        install(CODE "
            set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${program}\")
            file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
            file(REMOVE \"\${link}\")
            message(STATUS \"Linking: \${link} -> ${palomix_link_target}\")
            file(CREATE_LINK \"${palomix_link_target}\" \"\${link}\" SYMBOLIC)
        ")
    endforeach()
endif()
