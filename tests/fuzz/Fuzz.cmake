# libFuzzer target (clang): the whole run over the fake platform, on a
# machine the fuzzer's bytes plant, with the faults they inject. Built by the
# `fuzz` preset; run briefly by the host tests.
set(NRV_FUZZ_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(nrv_core PRIVATE ${NRV_FUZZ_FLAGS} -fsanitize=fuzzer-no-link)

file(GLOB NRV_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*.cpp ${CMAKE_SOURCE_DIR}/tests/fake/*.cpp)
add_executable(nrv_fuzz ${NRV_FUZZ_SOURCES})
target_include_directories(nrv_fuzz PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/src)
# Only the program's code is instrumented for coverage: the fake's and the
# driver's would add features that guide nowhere and slow every run.
target_compile_options(nrv_fuzz PRIVATE ${NRV_WARNINGS} ${NRV_FUZZ_FLAGS})
target_link_options(nrv_fuzz PRIVATE ${NRV_FUZZ_FLAGS} -fsanitize=fuzzer)
target_link_libraries(nrv_fuzz PRIVATE nrv_core)
