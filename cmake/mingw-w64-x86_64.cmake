# 64-bit build of the same sources, for running the tests under 64-bit Wine
# on hosts that cannot execute 32-bit Linux binaries (and so no 32-bit Wine).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_prefix x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
