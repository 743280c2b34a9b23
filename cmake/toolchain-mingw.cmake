# The mingw-w64 cross toolchain for one Windows processor (posix threads, needed by GoogleTest), run under Wine.
# Included by the two toolchain files, which set TOLVAR_MINGW_PROCESSOR and TOLVAR_WINE_LOADER first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TOLVAR_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${TOLVAR_MINGW_PROCESSOR}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLVAR_MINGW_PROCESSOR}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${TOLVAR_MINGW_PROCESSOR}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOLVAR_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TOLVAR_WINE_LOADER})
