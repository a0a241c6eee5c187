# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the POSIX
# threads flavour, whose C++ library has std::thread and friends):
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake ...
# Programs link statically, so each .exe runs alone with no DLL beside it;
# tests run under Wine when it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(D88_WINE NAMES wine)
if(D88_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${D88_WINE})
endif()
