# Native build: the pass code over the fake platform, with the unit tests,
# and the end-to-end tests that run the Windows programs under Wine.
if(NRV_FUZZ)
    include(${CMAKE_SOURCE_DIR}/tests/fuzz/Fuzz.cmake)
    return()
endif()
if(NRV_BENCH)
    include(${CMAKE_SOURCE_DIR}/tests/bench/Bench.cmake)
    return()
endif()

include(CTest)
find_package(GTest REQUIRED)

set(NRV_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(nrv_core PRIVATE ${NRV_SANITIZERS})

file(GLOB NRV_FAKE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fake/*.cpp)
file(GLOB NRV_UNIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)

add_library(nrv_fake_platform STATIC ${NRV_FAKE_SOURCES})
target_include_directories(nrv_fake_platform PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
target_compile_options(nrv_fake_platform PRIVATE ${NRV_WARNINGS} ${NRV_SANITIZERS})

add_executable(nrv_unit_tests ${NRV_UNIT_SOURCES})
target_include_directories(nrv_unit_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_compile_options(nrv_unit_tests PRIVATE ${NRV_WARNINGS} ${NRV_SANITIZERS})
target_link_options(nrv_unit_tests PRIVATE ${NRV_SANITIZERS})
target_link_libraries(nrv_unit_tests PRIVATE nrv_core nrv_fake_platform nrv_core GTest::gtest_main)
# The tables the tests expect the program to hold, written once for all tests.
target_compile_definitions(nrv_unit_tests PRIVATE NRV_TEST_TABLES="${CMAKE_SOURCE_DIR}/tests/data/tables.txt")

include(GoogleTest)
# Every test has a time limit of its own, so a loop that never ends fails
# that test instead of holding up the whole run.
gtest_discover_tests(nrv_unit_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 30)

include(${CMAKE_SOURCE_DIR}/tests/e2e/E2E.cmake)

# A short fuzzing run of the fuzz preset's target, starting from the seed
# corpus kept in the repository (tests/README.md, "What they cover", tells how
# to run long).
add_test(NAME fuzz_short COMMAND bash ${CMAKE_SOURCE_DIR}/tests/fuzz/short_run.sh
         ${NRV_FUZZ_BUILD_DIR}/nrv_fuzz ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus)
set_tests_properties(fuzz_short PROPERTIES TIMEOUT 300)

add_test(NAME time_limits COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
         -DUNIT_LIMIT=30 -DOTHER_LIMIT=300 -P ${CMAKE_SOURCE_DIR}/tests/check_time_limits.cmake)
set_tests_properties(time_limits PROPERTIES TIMEOUT 60)
