# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TABROOK_MINGW_PREFIX x86_64-w64-mingw32)
# The posix thread model: std::thread and std::mutex work, as the program's C++20 expects.
set(CMAKE_C_COMPILER ${TABROOK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TABROOK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TABROOK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TABROOK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe per program: the compiler's own runtime is linked in, so only
# the system's DLLs are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests of the cross build run under Wine when it is there.
find_program(TABROOK_WINE64 NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TABROOK_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TABROOK_WINE64})
endif()
