# Cross-compiles for 32-bit Windows with mingw-w64; runs under 32-bit Wine.
set(TOLVAR_MINGW_PROCESSOR i686)
set(TOLVAR_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
