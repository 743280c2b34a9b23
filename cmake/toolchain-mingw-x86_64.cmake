# Cross-compiles for 64-bit Windows with mingw-w64; runs under 64-bit Wine.
set(TOLVAR_MINGW_PROCESSOR x86_64)
set(TOLVAR_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
