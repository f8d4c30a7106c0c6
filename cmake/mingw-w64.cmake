# What the two Windows toolchains share: MinGW-w64 for the target named by qef_mingw, with the
# tests run under the Wine loader named by qef_wine.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${qef_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${qef_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${qef_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${qef_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe each: no MinGW run-time DLLs to ship.
# No link time in the PE header, so that the same sources give the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")

set(CMAKE_CROSSCOMPILING_EMULATOR ${qef_wine})
