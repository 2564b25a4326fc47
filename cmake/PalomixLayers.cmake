# The layers of the program, bottom up. Each folder is one layer and one CMake target with an
# explicit source list in its own CMakeLists.txt. Qt-free layers never link Qt, so a Qt
# include there fails to build:
#
#   platform      operating-system services; posix/ and win32/ files picked by platform
#   controllogic  the Qt-free logic of the controls: folder search, comma text, colours,
#                 dialog placement
#   settings      INI files, the settings catalogue, the state file
#   engine        the core and its one door: queue, intake, command lines, run policy, run
#   frontend      what both front ends share through the door, Qt-free: the run log
#   cli           palomix-batch
#   probe         palomix-probe, which reads media with FFmpeg's libraries in a process of its own
#   widgets       the Qt controls (Qt)
#   app           the window (Qt)

# A library of one layer: palomix_<name> from the sources given, warnings on.
function(palomix_add_layer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    add_library(palomix_${name} STATIC ${ARG_SOURCES})
    target_include_directories(palomix_${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(palomix_${name} PUBLIC ${ARG_LINKS})
    target_compile_options(palomix_${name} PRIVATE ${PALOMIX_WARNINGS})
endfunction()

# Headers nearly every file of a target includes, parsed once for the target rather than once
# for each file: the Qt widgets' headers cost seconds a file, and the window's files and their
# tests are most of the build. `QT`: the target is a Qt one; `TESTS`: it holds GoogleTest tests.
option(PALOMIX_PRECOMPILE_HEADERS "Parse the common headers once a target" ON)
function(palomix_precompile_headers target)
    cmake_parse_arguments(ARG "QT;TESTS" "" "" ${ARGN})
    if(NOT PALOMIX_PRECOMPILE_HEADERS)
        return()
    endif()
    set(headers <functional> <memory> <optional> <string> <string_view> <vector>)
    if(ARG_QT)
        list(APPEND headers <QAction> <QApplication> <QDialog> <QLabel> <QMenu> <QPushButton>
             <QTableView> <QTimer> <QWidget>)
    endif()
    if(ARG_TESTS)
        list(APPEND headers <gtest/gtest.h>)
    endif()
    target_precompile_headers(${target} PRIVATE ${headers})
endfunction()

# Version and web address, generated once for every layer that shows them.
configure_file(${PROJECT_SOURCE_DIR}/cmake/BuildInfo.h.in
               ${PROJECT_BINARY_DIR}/generated/palomix/BuildInfo.h @ONLY)
add_library(palomix_buildinfo INTERFACE)
target_include_directories(palomix_buildinfo INTERFACE ${PROJECT_BINARY_DIR}/generated)

add_subdirectory(platform)
add_subdirectory(controllogic)
add_subdirectory(settings)
add_subdirectory(engine)
add_subdirectory(frontend)
add_subdirectory(cli)
add_subdirectory(probe)
if(PALOMIX_WITH_QT)
    find_package(Qt6 REQUIRED COMPONENTS Widgets Network)
    add_subdirectory(widgets)
    add_subdirectory(app)
endif()
