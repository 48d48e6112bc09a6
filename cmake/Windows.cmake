# Cross-built Windows program: static runtime, manifest and version resource.
enable_language(RC)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(NRV_EXE_NAME NrvDriverCleanupx64)
else()
    set(NRV_EXE_NAME NrvDriverCleanupx86)
endif()

target_compile_definitions(nrv_core PUBLIC UNICODE _UNICODE _WIN32_WINNT=0x0601 WINVER=0x0601)

# The version resource and the manifest, with the project's version.
set(NRV_VERSION_COMMAS ${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0)
set(NRV_RESOURCES ${CMAKE_BINARY_DIR}/resources/resources.rc)
configure_file(${CMAKE_SOURCE_DIR}/src/run/resources.rc.in ${NRV_RESOURCES} @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/src/run/NrvDriverCleanup.manifest.in
               ${CMAKE_BINARY_DIR}/resources/NrvDriverCleanup.manifest @ONLY)

add_executable(nrv_cleanup
    ${CMAKE_SOURCE_DIR}/src/run/main.cpp
    ${NRV_RESOURCES})
set_target_properties(nrv_cleanup PROPERTIES OUTPUT_NAME ${NRV_EXE_NAME})
target_compile_options(nrv_cleanup PRIVATE ${NRV_WARNINGS})
# msi.dll is delay-loaded: it is not one of the DLLs Windows always takes
# from the system directory, and a program that runs elevated from a
# downloads folder must not pick up an msi.dll planted beside it. main()
# restricts the DLL search to the system directory before the first
# installer call loads it.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(NRV_MSI_DEF ${CMAKE_SOURCE_DIR}/cmake/msi-x64.def)
    set(NRV_DLLTOOL_FLAGS "")
else()
    set(NRV_MSI_DEF ${CMAKE_SOURCE_DIR}/cmake/msi-x86.def)
    set(NRV_DLLTOOL_FLAGS -k)
endif()
string(REGEX REPLACE "g\\+\\+$" "dlltool" NRV_DLLTOOL ${CMAKE_CXX_COMPILER})
set(NRV_MSI_DELAYLIB ${CMAKE_BINARY_DIR}/libmsi_delay.a)
# Run where the library lands and name it relatively: dlltool names its
# symbols after the output path, and no build path may reach the program.
add_custom_command(OUTPUT ${NRV_MSI_DELAYLIB}
    COMMAND ${NRV_DLLTOOL} ${NRV_DLLTOOL_FLAGS} --input-def ${NRV_MSI_DEF}
            --dllname msi.dll --output-delaylib libmsi_delay.a
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS ${NRV_MSI_DEF} VERBATIM)
add_custom_target(nrv_msi_delaylib DEPENDS ${NRV_MSI_DELAYLIB})
add_dependencies(nrv_cleanup nrv_msi_delaylib)

target_link_libraries(nrv_cleanup PRIVATE nrv_core ${NRV_MSI_DELAYLIB} delayimp
                      setupapi ole32 advapi32 kernel32)
# Reproducible: no link time stamp and no build paths in the image or in its
# debug information. The build folder's map comes last so that it wins when
# the build folder lies inside the source folder.
foreach(target nrv_core nrv_cleanup)
    target_compile_options(${target} PRIVATE -g
        -ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
endforeach()
# Terminal-server aware: on a Remote Desktop Session Host, GetWindowsDirectoryW
# then gives the real Windows directory, not a per-user one.
# wmain: the options arrive as UTF-16, whatever the console's code page.
target_compile_options(nrv_cleanup PRIVATE -municode)
target_link_options(nrv_cleanup PRIVATE -municode -static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp
                    -Wl,--tsaware)
# The program leaves the link stripped; its symbols and debug information
# (ours and the static runtime's) go to NrvDriverCleanupx64.exe.debug beside it.
add_custom_command(TARGET nrv_cleanup POST_BUILD
    COMMAND bash ${CMAKE_SOURCE_DIR}/cmake/strip_program.sh ${CMAKE_OBJCOPY} $<TARGET_FILE:nrv_cleanup>
    VERBATIM)
# The message table of the program's events, from run_events.mc, beside the
# resource script that includes it.
string(REGEX REPLACE "g\\+\\+$" "windmc" NRV_WINDMC ${CMAKE_CXX_COMPILER})
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/resources/run_events.rc ${CMAKE_BINARY_DIR}/resources/MSG00409.bin
    COMMAND ${NRV_WINDMC} -h . -r . ${CMAKE_SOURCE_DIR}/src/run/run_events.mc
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/resources
    DEPENDS ${CMAKE_SOURCE_DIR}/src/run/run_events.mc VERBATIM)
set_property(SOURCE ${NRV_RESOURCES} APPEND PROPERTY OBJECT_DEPENDS
    ${CMAKE_BINARY_DIR}/resources/NrvDriverCleanup.manifest
    ${CMAKE_BINARY_DIR}/resources/run_events.rc ${CMAKE_BINARY_DIR}/resources/MSG00409.bin)

# Windows-only helper programs the end-to-end tests use (fixtures that plant
# or inspect state inside a Wine prefix).
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/fixtures/CMakeLists.txt)
    add_subdirectory(${CMAKE_SOURCE_DIR}/tests/e2e/fixtures ${CMAKE_BINARY_DIR}/fixtures)
endif()

# A planted msi.dll for the test that the program never loads one from its
# own folder or the working directory, and a program that does load it.
add_library(planted_msi SHARED ${CMAKE_SOURCE_DIR}/tests/e2e/planted/planted_msi.cpp)
set_target_properties(planted_msi PROPERTIES OUTPUT_NAME msi PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/planted
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/planted)
target_link_options(planted_msi PRIVATE -static)
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
    # Plain export names, as msi.dll has them (MsiSetInternalUI, not
    # MsiSetInternalUI@8).
    target_link_options(planted_msi PRIVATE -Wl,--kill-at)
endif()
add_executable(imports_msi ${CMAKE_SOURCE_DIR}/tests/e2e/planted/imports_msi.cpp)
set_target_properties(imports_msi PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/planted)
target_link_libraries(imports_msi PRIVATE msi)
target_link_options(imports_msi PRIVATE -static)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    # Baseline for the start-up benchmark (scripts/bench-wine.sh).
    add_executable(bare_console ${CMAKE_SOURCE_DIR}/tests/e2e/planted/bare_console.cpp)
    set_target_properties(bare_console PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/planted)
    target_link_options(bare_console PRIVATE -static)
endif()
