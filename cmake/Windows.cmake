# Cross-built Windows program: static runtime, manifest and version resource.
enable_language(RC)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(NRV_EXE_NAME NrvDriverCleanupx64)
else()
    set(NRV_EXE_NAME NrvDriverCleanupx86)
endif()

target_compile_definitions(nrv_core PUBLIC UNICODE _UNICODE _WIN32_WINNT=0x0601 WINVER=0x0601)

add_executable(nrv_cleanup
    ${CMAKE_SOURCE_DIR}/src/run/main.cpp
    ${CMAKE_SOURCE_DIR}/src/run/resources.rc)
set_target_properties(nrv_cleanup PROPERTIES OUTPUT_NAME ${NRV_EXE_NAME})
target_compile_options(nrv_cleanup PRIVATE ${NRV_WARNINGS})
target_link_libraries(nrv_cleanup PRIVATE nrv_core msi setupapi ole32 advapi32 kernel32)
target_link_options(nrv_cleanup PRIVATE -static -static-libgcc -static-libstdc++)
set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/run/resources.rc APPEND PROPERTY OBJECT_DEPENDS
    ${CMAKE_SOURCE_DIR}/src/run/NrvDriverCleanup.manifest)

# Windows-only helper programs the end-to-end tests use (fixtures that plant
# or inspect state inside a Wine prefix).
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/fixtures/CMakeLists.txt)
    add_subdirectory(${CMAKE_SOURCE_DIR}/tests/e2e/fixtures ${CMAKE_BINARY_DIR}/fixtures)
endif()
