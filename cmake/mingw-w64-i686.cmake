# Cross-compiles the 32-bit Windows programs, the main release, with MinGW-w64; tests run under
# Wine's 32-bit loader, on machines that can run 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(qef_mingw i686-w64-mingw32)
set(qef_wine wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
