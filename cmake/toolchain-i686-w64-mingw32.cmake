# 32-bit Windows with MinGW-w64: the loader the media ship with.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VARN_MINGW_TRIPLET i686-w64-mingw32)
set(VARN_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-w64.cmake)
