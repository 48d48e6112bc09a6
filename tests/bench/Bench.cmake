# Benchmarks (Google Benchmark), built by the `bench` preset without
# sanitizers, over the fake platform; scripts/bench.sh runs them.
find_package(benchmark REQUIRED)
file(GLOB NRV_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/bench/*.cpp ${CMAKE_SOURCE_DIR}/tests/fake/*.cpp)
add_executable(nrv_bench ${NRV_BENCH_SOURCES})
target_include_directories(nrv_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/src)
target_compile_options(nrv_bench PRIVATE ${NRV_WARNINGS})
target_link_libraries(nrv_bench PRIVATE nrv_core benchmark::benchmark)
