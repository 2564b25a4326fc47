# The Windows install tree, from the MinGW cross-build: installed into a fresh prefix, it is
# the program folder an installer ships and nothing else: palomix-batch.exe (a Windows
# program), convert_settings/ as the sources hold it, cores/ holding only its note on where
# ffmpeg.exe goes, and the licence's text.
# Usage: cmake -DBUILD_DIR=... -DSOURCE_DIR=... -P CheckWindowsInstall.cmake
get_filename_component(BUILD_DIR "${BUILD_DIR}" ABSOLUTE)
set(prefix ${BUILD_DIR}/install-check)
file(REMOVE_RECURSE ${prefix})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

file(GLOB_RECURSE settings RELATIVE ${SOURCE_DIR}/convert_settings ${SOURCE_DIR}/convert_settings/*)
set(expected palomix-batch.exe cores/README.txt LICENSE.txt)
foreach(file IN LISTS settings)
    list(APPEND expected convert_settings/${file})
endforeach()
file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE ${prefix} ${prefix}/*)
list(SORT expected)
list(SORT installed)
if(NOT installed STREQUAL expected)
    message(FATAL_ERROR "The install tree holds\n  ${installed}\nnot\n  ${expected}")
endif()

foreach(file IN LISTS settings)
    file(SHA256 ${SOURCE_DIR}/convert_settings/${file} want)
    file(SHA256 ${prefix}/convert_settings/${file} got)
    if(NOT want STREQUAL got)
        message(FATAL_ERROR "convert_settings/${file} differs from its source")
    endif()
endforeach()

# A Windows program: "MZ", and at the offset found at byte 60 the signature "PE\0\0" of a
# 64-bit (x86-64: 0x8664) program.
file(READ ${prefix}/palomix-batch.exe header LIMIT 1024 HEX)
string(SUBSTRING "${header}" 0 4 mz)
string(SUBSTRING "${header}" 120 2 low)  # bytes 60 and 61: the PE header's offset
string(SUBSTRING "${header}" 122 2 high)
math(EXPR at "(0x${low} + 0x${high} * 256) * 2")
string(SUBSTRING "${header}" ${at} 12 pe)
if(NOT mz STREQUAL "4d5a" OR NOT pe STREQUAL "504500006486")
    message(FATAL_ERROR "palomix-batch.exe is no 64-bit Windows program (${mz} ${pe})")
endif()
file(REMOVE_RECURSE ${prefix})
message(STATUS "The Windows install tree holds: ${installed}")
