# Cross-compiles the Windows build (32-bit x86) with MinGW-w64:
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
#
# The runtime of the compiler (libgcc, libstdc++ and, with the POSIX thread model,
# winpthread) is linked statically, so the plug-in DLL needs nothing but the host's
# ztModelLib.dll and Windows' own DLLs. Programs built here run under Wine through
# CMAKE_CROSSCOMPILING_EMULATOR when one is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(CMPEXPORT_MINGW_TRIPLET i686-w64-mingw32)

# Prefer the Win32 thread model: it does not pull in winpthread at all.
find_program(CMPEXPORT_MINGW_CXX NAMES ${CMPEXPORT_MINGW_TRIPLET}-g++-win32
                                       ${CMPEXPORT_MINGW_TRIPLET}-g++ REQUIRED)
string(REGEX REPLACE "g\\+\\+([^/]*)$" "gcc\\1" CMPEXPORT_MINGW_CC "${CMPEXPORT_MINGW_CXX}")
set(CMAKE_C_COMPILER ${CMPEXPORT_MINGW_CC})
set(CMAKE_CXX_COMPILER ${CMPEXPORT_MINGW_CXX})
find_program(CMAKE_RC_COMPILER NAMES ${CMPEXPORT_MINGW_TRIPLET}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${CMPEXPORT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(cmpexport_static_runtime "-static-libgcc -static-libstdc++")
if(NOT CMPEXPORT_MINGW_CXX MATCHES "-win32$")
  # The POSIX thread model links winpthread; -static takes its archive instead of the DLL.
  string(APPEND cmpexport_static_runtime " -static")
endif()
set(CMAKE_EXE_LINKER_FLAGS_INIT "${cmpexport_static_runtime}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${cmpexport_static_runtime}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${cmpexport_static_runtime}")

find_program(CMPEXPORT_WINE NAMES wine)
if(CMPEXPORT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMPEXPORT_WINE})
endif()
