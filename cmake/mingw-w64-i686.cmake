# Cross build for 32-bit Windows with MinGW-w64 (posix threads variant): the
# shipping build.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(_prefix i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Where the host can run 32-bit Wine, tests of this build run under it.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
