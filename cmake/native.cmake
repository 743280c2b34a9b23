# Native Linux build: the platform-free code under AddressSanitizer and UBSan, its tests and benchmarks.
set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

# core/ under the sanitizers; the tests bring the fakes of the outside world themselves.
add_library(tolvar_core STATIC ${CORE_SOURCES})
target_compile_options(tolvar_core PRIVATE ${SANITIZE})
target_link_libraries(tolvar_core PUBLIC tolvar_build_rules)
target_link_options(tolvar_core PUBLIC ${SANITIZE})

# The fakes of the outside world, one per seam, for the tests, the benchmarks and the fuzzers.
file(GLOB FAKE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fakes/*.cpp)

file(GLOB NATIVE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*.cpp)
add_executable(tolvar_native_tests ${NATIVE_TESTS} ${FAKE_SOURCES})
target_compile_options(tolvar_native_tests PRIVATE ${SANITIZE})
target_link_libraries(tolvar_native_tests PRIVATE tolvar_core gtest_main)
gtest_discover_tests(tolvar_native_tests DISCOVERY_MODE PRE_TEST)

# Benchmarks link the same heart without sanitizers, so their figures mean something.
find_package(benchmark QUIET)
file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
if(benchmark_FOUND AND BENCH_SOURCES)
  add_library(tolvar_core_with_fakes STATIC ${CORE_SOURCES} ${FAKE_SOURCES})
  target_compile_options(tolvar_core_with_fakes PRIVATE -O2)
  target_link_libraries(tolvar_core_with_fakes PUBLIC tolvar_build_rules)
  add_executable(tolvar_bench ${BENCH_SOURCES})
  target_compile_options(tolvar_bench PRIVATE -O2)
  target_link_libraries(tolvar_bench PRIVATE tolvar_core_with_fakes benchmark::benchmark)
endif()
