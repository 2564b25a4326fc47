# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64), as the
# test suite does to check that the Windows files build. The "-posix" compiler is the one with
# std::thread and std::mutex; the default "-win32" one has neither.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PALOMIX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PALOMIX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PALOMIX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PALOMIX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PALOMIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained executables: no MinGW runtime DLLs needed beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
