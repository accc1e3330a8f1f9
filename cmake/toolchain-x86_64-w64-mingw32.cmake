# 64-bit Windows with MinGW-w64: the loader for 64-bit Windows, and the Windows tests on
# machines that run no 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VARN_MINGW_TRIPLET x86_64-w64-mingw32)
set(VARN_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-w64.cmake)
