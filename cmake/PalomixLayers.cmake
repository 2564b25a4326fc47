# The layers of the program, bottom up. Sources are picked up by folder, so adding a
# file to a layer needs no edit here. The Qt widgets of controls/ are named below; every
# other file of controls/ belongs to the Qt-free core.

set(PALOMIX_QT_CONTROLS_REGEX "/(MCCBox|GradBox|FolderBrowse)[^/]*\\.cpp$")

# --- platform: no Qt; per-platform files picked here and nowhere else -------------------
file(GLOB PALOMIX_PLATFORM_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/platform/*.cpp)
if(WIN32)
    file(GLOB PALOMIX_PLATFORM_NATIVE CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/platform/win32/*.cpp)
else()
    file(GLOB PALOMIX_PLATFORM_NATIVE CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/platform/posix/*.cpp)
endif()
add_library(palomix_platform STATIC ${PALOMIX_PLATFORM_SOURCES} ${PALOMIX_PLATFORM_NATIVE})
target_include_directories(palomix_platform PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(palomix_platform PRIVATE ${PALOMIX_WARNINGS})
if(WIN32)
    target_link_libraries(palomix_platform PUBLIC shell32)
else()
    find_package(Threads REQUIRED)
    target_link_libraries(palomix_platform PUBLIC Threads::Threads)
endif()

# --- core: engine, settings and the Qt-free parts of controls -------------------------
file(GLOB PALOMIX_CORE_SOURCES CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/engine/*.cpp
    ${PROJECT_SOURCE_DIR}/settings/*.cpp
    ${PROJECT_SOURCE_DIR}/controls/*.cpp)
list(FILTER PALOMIX_CORE_SOURCES EXCLUDE REGEX "${PALOMIX_QT_CONTROLS_REGEX}")
add_library(palomix_core STATIC ${PALOMIX_CORE_SOURCES})
target_link_libraries(palomix_core PUBLIC palomix_platform)
target_compile_options(palomix_core PRIVATE ${PALOMIX_WARNINGS})

# --- command-line front end -------------------------------------------------------------
file(GLOB PALOMIX_CLI_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/cli/*.cpp)
list(FILTER PALOMIX_CLI_SOURCES EXCLUDE REGEX "/main\\.cpp$")
if(PALOMIX_CLI_SOURCES)
    # Everything but main() in a library, so the tests link the same code.
    add_library(palomix_cli STATIC ${PALOMIX_CLI_SOURCES})
    target_link_libraries(palomix_cli PUBLIC palomix_core)
    target_compile_options(palomix_cli PRIVATE ${PALOMIX_WARNINGS})
    target_compile_definitions(palomix_cli PRIVATE PALOMIX_VERSION="${PROJECT_VERSION}")
    add_executable(palomix-batch ${PROJECT_SOURCE_DIR}/cli/main.cpp)
    target_link_libraries(palomix-batch PRIVATE palomix_cli)
    target_compile_options(palomix-batch PRIVATE ${PALOMIX_WARNINGS})
    target_compile_definitions(palomix-batch PRIVATE PALOMIX_VERSION="${PROJECT_VERSION}")
endif()

# --- Qt widgets and the window ----------------------------------------------------------
if(PALOMIX_WITH_QT)
    find_package(Qt6 REQUIRED COMPONENTS Widgets)
    set(CMAKE_AUTOMOC ON)
    file(GLOB PALOMIX_WIDGET_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/controls/*.cpp)
    list(FILTER PALOMIX_WIDGET_SOURCES INCLUDE REGEX "${PALOMIX_QT_CONTROLS_REGEX}")
    if(PALOMIX_WIDGET_SOURCES)
        add_library(palomix_widgets STATIC ${PALOMIX_WIDGET_SOURCES})
        target_link_libraries(palomix_widgets PUBLIC palomix_core Qt6::Widgets)
        target_compile_options(palomix_widgets PRIVATE ${PALOMIX_WARNINGS})
    endif()

    file(GLOB PALOMIX_APP_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/app/*.cpp)
    list(FILTER PALOMIX_APP_SOURCES EXCLUDE REGEX "/main\\.cpp$")
    if(PALOMIX_APP_SOURCES)
        add_library(palomix_app STATIC ${PALOMIX_APP_SOURCES})
        target_link_libraries(palomix_app PUBLIC palomix_widgets Qt6::Widgets)
        target_compile_options(palomix_app PRIVATE ${PALOMIX_WARNINGS})
        target_compile_definitions(palomix_app PRIVATE PALOMIX_WEB_SITE="${PALOMIX_WEB_SITE}")
        add_executable(palomix ${PROJECT_SOURCE_DIR}/app/main.cpp)
        target_link_libraries(palomix PRIVATE palomix_app)
        target_compile_options(palomix PRIVATE ${PALOMIX_WARNINGS})
    endif()
endif()
