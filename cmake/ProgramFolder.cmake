# The program folder: the executables beside convert_settings/ (the conversion settings
# files that ship) and cores/ (the converters the command lines name). The build fills
# ${PALOMIX_PROGRAM_DIR} this way, so the build tree runs as it is, and the install lays out
# the same self-contained folder at the install prefix.
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

# --- install: the same folder at the prefix ---------------------------------------------
# The prefix is the program folder itself (executables, convert_settings/, cores/ side by
# side), so the default prefix is a folder of its own rather than /usr/local.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT AND NOT WIN32)
    set(CMAKE_INSTALL_PREFIX /opt/palomix CACHE PATH "The program folder to install into" FORCE)
endif()

foreach(target palomix palomix-batch)
    if(TARGET ${target})
        install(TARGETS ${target} RUNTIME DESTINATION .)
    endif()
endforeach()
install(DIRECTORY ${PALOMIX_SETTINGS_SOURCE_DIR}/ DESTINATION convert_settings)
install(DIRECTORY DESTINATION cores)
foreach(tool IN LISTS PALOMIX_CORE_TOOLS)
    string(TOUPPER ${tool} var)
    # Evaluated at install time, so --prefix and DESTDIR are honoured. A regular file in the
    # installed cores/ is a converter chosen by hand and stays; a link is renewed.
    install(CODE "
        set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/cores/${tool}\")
        if(IS_SYMLINK \"\${link}\" OR NOT EXISTS \"\${link}\")
            file(REMOVE \"\${link}\")
            message(STATUS \"Linking: \${link} -> ${PALOMIX_${var}}\")
            file(CREATE_LINK \"${PALOMIX_${var}}\" \"\${link}\" SYMBOLIC)
        else()
            message(STATUS \"Keeping: \${link}\")
        endif()
    ")
endforeach()
