# Cross-compiles the 64-bit Windows programs with MinGW-w64; tests run under Wine's 64-bit loader,
# named directly: the `wine` command picks the 32-bit loader whenever it is installed, and that one
# cannot start where the kernel runs no 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(qef_mingw x86_64-w64-mingw32)
set(qef_wine /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
