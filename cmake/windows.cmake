# Windows build with mingw-w64: Tolvar.exe, the simulated remote-access service and the Wine tests.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}")

# Every Windows target of the project's own links the runtime in, so that it runs from any folder, and leaves the
# link time out of the PE header, so that the same sources give the same bytes.
target_link_options(tolvar_build_rules INTERFACE -static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp)
# On i686 the doubles are computed in the x87 unit, whose precision mingw's start-up code sets to 64 bits; costs then
# round differently from the x86_64 build's in the last bit. CRT_fp8.o keeps the system's 53-bit precision, as
# Windows programs have it, so both builds store and show the same bytes; no SSE2 is needed on old processors.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=CRT_fp8.o OUTPUT_VARIABLE CRT_FP8
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  target_link_options(tolvar_build_rules INTERFACE ${CRT_FP8})
endif()

# The Windows the program is written for: the headers' level (XP, common controls 5) and the system libraries it
# calls; scripts/lint.sh reads them from the build's compilation database. The program's code and the test programs
# and tools that run it link this. The simulated service, the minimal program and the other tools keep the headers'
# own level: the service answers the record sizes of today's headers as well as the first ones.
add_library(tolvar_windows_level INTERFACE)
target_compile_definitions(tolvar_windows_level INTERFACE
  WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0500)
target_link_libraries(tolvar_windows_level INTERFACE gdi32 user32 advapi32 kernel32 rasapi32)

# The Win32 wing: the adapters behind the seams and the windows.
file(GLOB WIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/win32/*.cpp)
list(REMOVE_ITEM WIN_SOURCES ${CMAKE_SOURCE_DIR}/win32/main.cpp)

# The program's objects of both wings but the entry point, so that test programs and tools run the program's own code.
add_library(tolvar_program_objects STATIC ${CORE_SOURCES} ${WIN_SOURCES})
target_compile_options(tolvar_program_objects PRIVATE -Os)
target_link_libraries(tolvar_program_objects PUBLIC tolvar_build_rules tolvar_windows_level)

set(TOLVAR_RC ${CMAKE_SOURCE_DIR}/res/tolvar.rc)
add_executable(Tolvar WIN32 win32/main.cpp ${TOLVAR_RC})
target_compile_options(Tolvar PRIVATE -Os)
target_link_libraries(Tolvar PRIVATE tolvar_program_objects)
target_link_options(Tolvar PRIVATE -s)
# The program itself starts no thread: it links the C++ runtime of the compiler's win32 thread model, whose
# libraries sit beside the posix model's. The posix model (which only GoogleTest needs) brings its thread library,
# importing calls of Windows XP and Vista (AddVectoredExceptionHandler, GetTickCount64) that would keep the program
# from loading on the older systems each build is for.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name OUTPUT_VARIABLE TOLVAR_POSIX_LIBGCC
                OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(TOLVAR_POSIX_RUNTIME ${TOLVAR_POSIX_LIBGCC} DIRECTORY)
string(REGEX REPLACE "-posix$" "-win32" TOLVAR_WIN32_RUNTIME ${TOLVAR_POSIX_RUNTIME})
if(NOT TOLVAR_WIN32_RUNTIME STREQUAL TOLVAR_POSIX_RUNTIME AND EXISTS ${TOLVAR_WIN32_RUNTIME}/libstdc++.a)
  target_link_options(Tolvar PRIVATE -L${TOLVAR_WIN32_RUNTIME})
else()
  message(WARNING "no win32-model C++ runtime beside ${TOLVAR_POSIX_RUNTIME}: Tolvar.exe imports the posix thread library")
endif()

# The simulated remote-access service (see tools/rasapi32/README.md).
add_library(rasapi32_sim SHARED tools/rasapi32/rasapi32.cpp tools/rasapi32/rasapi32.def)
set_target_properties(rasapi32_sim PROPERTIES OUTPUT_NAME rasapi32 PREFIX "")
target_link_libraries(rasapi32_sim PRIVATE tolvar_build_rules)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  target_link_options(rasapi32_sim PRIVATE -Wl,--enable-stdcall-fixup)
endif()

# The yardstick the benchmarks compare Tolvar.exe with.
add_executable(minimal_poller WIN32 bench/win/minimal_poller.cpp)
target_compile_options(minimal_poller PRIVATE -Os)
target_link_libraries(minimal_poller PRIVATE tolvar_build_rules rasapi32 user32 shell32)
target_link_options(minimal_poller PRIVATE -s)
# Keeps the test prefix's desktop process alive between test programs (see the file).
add_executable(wine_keepalive WIN32 tools/wine_keepalive.cpp)
target_link_libraries(wine_keepalive PRIVATE tolvar_build_rules)

add_executable(startup_timer bench/win/startup_timer.cpp)
target_link_libraries(startup_timer PRIVATE tolvar_build_rules)

# The detailed list, Save in file and Clear on a long log, timed with the program's own code (bench/run.sh).
add_executable(log_tools_timing bench/win/log_tools_timing.cpp ${TOLVAR_RC})
target_link_libraries(log_tools_timing PRIVATE tolvar_program_objects)

# What the flushes cost at a connection's end: the real file seam against one that leaves them out.
add_executable(flush_cost bench/win/flush_cost.cpp)
target_link_libraries(flush_cost PRIVATE tolvar_program_objects)

# Opens every window of a running Tolvar.exe and takes its picture (scripts/screenshots.sh).
add_executable(tour_pictures tools/tour_pictures.cpp)
target_link_libraries(tour_pictures PRIVATE tolvar_program_objects)

# The common controls and dialogs are loaded on first use: the resident program must not import them.
add_test(NAME TolvarImports.NoCommonControlsOrDialogs
  COMMAND sh -c "! ${CMAKE_OBJDUMP} -p \"$<TARGET_FILE:Tolvar>\" | grep -iE 'DLL Name: (comctl32|comdlg32)'")

# The clock is kernel32's 64-bit one on both builds: msvcrt's _time64 and _localtime64 are missing before Windows ME
# and 2000, and the i686 runtime's time() and localtime() run out in 2038.
add_test(NAME TolvarImports.ClockFromKernel32
  COMMAND sh -c "${CMAKE_OBJDUMP} -p \"$<TARGET_FILE:Tolvar>\" | grep -q GetSystemTimeAsFileTime &&
                 ! ${CMAKE_OBJDUMP} -p \"$<TARGET_FILE:Tolvar>\" | grep -qE '[[:space:]]_?(local)?time(32|64)?$'")

# The i686 build loads on Windows 95, 98, ME and NT 4.0: every function it imports is listed with the first systems
# that export it.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  add_test(NAME TolvarImports.OldestWindows
    COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-imports.sh ${CMAKE_OBJDUMP} $<TARGET_FILE:Tolvar>
            ${CMAKE_SOURCE_DIR}/docs/imports-i686.txt 95 4.0)
endif()

# Both builds carry the Wine tests: x86_64 runs under wine64, i686 under 32-bit Wine in a prefix of its own.
# One test program per file: tests/wine/ run the program's code in-process, tests/e2e/ drive the real Tolvar.exe.
# Both kinds share the kit in tests/support/ (which takes the byte layout from the program or, for the
# end-to-end tests, from core/layout.cpp; they take the uninstall script's text from core/inf_text.cpp);
# the other files of each folder are that kind's own helpers.
file(GLOB TEST_KIT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_library(test_kit STATIC ${TEST_KIT})
target_link_libraries(test_kit PUBLIC tolvar_build_rules tolvar_windows_level gtest)

# Paints every window in fixed states and dumps their pixels, to compare builds and DPIs picture by picture.
add_executable(pixel_dump tools/pixel_dump.cpp ${CMAKE_SOURCE_DIR}/tests/wine/in_process.cpp ${TOLVAR_RC})
target_link_libraries(pixel_dump PRIVATE test_kit tolvar_program_objects)

file(GLOB WINE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*_test.cpp)
file(GLOB WINE_TEST_HELPERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*.cpp)
list(REMOVE_ITEM WINE_TEST_HELPERS ${WINE_TESTS})
foreach(src ${WINE_TESTS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src} ${WINE_TEST_HELPERS} ${TOLVAR_RC})
  target_link_libraries(${name} PRIVATE test_kit tolvar_program_objects gtest_main)
  add_dependencies(${name} rasapi32_sim)
  # The simulated service beside the test programs serves their rasapi32 imports.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 120 LABELS wine
    ENVIRONMENT "WINEDLLOVERRIDES=rasapi32=n,b")
endforeach()

# The release as a user meets it: the archive unpacked, a first run in a fresh prefix, the uninstall.
# It takes the archive's 64-bit program, so it runs in the x86_64 leg only.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  add_test(NAME Release.UnpackFirstRunAndUninstall COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/release-test.sh)
  set_tests_properties(Release.UnpackFirstRunAndUninstall PROPERTIES TIMEOUT 1500 LABELS release RUN_SERIAL TRUE)
endif()

file(GLOB E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*_test.cpp)
file(GLOB E2E_HELPERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.cpp)
list(REMOVE_ITEM E2E_HELPERS ${E2E_TESTS})
foreach(src ${E2E_TESTS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src} ${E2E_HELPERS}
    ${CMAKE_SOURCE_DIR}/core/layout.cpp ${CMAKE_SOURCE_DIR}/core/inf_text.cpp
    ${CMAKE_SOURCE_DIR}/core/journal_format.cpp)
  target_compile_definitions(${name} PRIVATE
    TOLVAR_EXE="$<TARGET_FILE:Tolvar>" RASAPI32_SIM="$<TARGET_FILE:rasapi32_sim>")
  target_link_libraries(${name} PRIVATE test_kit gtest_main shlwapi)
  add_dependencies(${name} Tolvar rasapi32_sim)
  # The screen reader's side of the accessibility test is an ordinary client of oleacc.
  if(name STREQUAL "e2e_accessibility_test")
    target_link_libraries(${name} PRIVATE oleacc oleaut32 ole32)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 180 LABELS e2e
    ENVIRONMENT "WINEDLLOVERRIDES=rasapi32=n,b")
endforeach()
