# Windows with MinGW-w64, shared by the toolchain files of both widths; the tests run under Wine.
# The including file sets CMAKE_SYSTEM_PROCESSOR, VARN_MINGW_TRIPLET and VARN_WINE_ARCH.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: GoogleTest needs std::mutex, which the win32 model lacks.
set(CMAKE_C_COMPILER ${VARN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VARN_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VARN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the programs need no DLL beyond those every Windows has.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The test programs run under the Wine of their width. Debian's `wine` launcher starts the
# 32-bit loader whenever wine32 is installed, even where it cannot run, so the 64-bit build
# names the 64-bit loader itself. The scripted tests make their prefix of VARN_WINE_ARCH.
if(VARN_WINE_ARCH STREQUAL "win64")
  find_program(VARN_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(VARN_WINE NAMES wine64 REQUIRED)
else()
  find_program(VARN_WINE wine REQUIRED)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${VARN_WINE})
