# End-to-end tests: the Windows programs, run under Wine or inspected as files.
find_program(NRV_WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(NRV_WINESERVER wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(NRV_OBJDUMP64 x86_64-w64-mingw32-objdump)
find_program(NRV_OBJDUMP32 i686-w64-mingw32-objdump)

set(NRV_EXE64 ${NRV_WIN64_BUILD_DIR}/NrvDriverCleanupx64.exe)
set(NRV_EXE32 ${NRV_WIN32_BUILD_DIR}/NrvDriverCleanupx86.exe)
set(NRV_E2E_DIR ${CMAKE_SOURCE_DIR}/tests/e2e)
set(NRV_TEMPLATE_PREFIX ${CMAKE_BINARY_DIR}/wine-template)

# What every scenario is given; the 64-bit program's scenarios add its
# fixtures and template (the 32-bit program's ones further down).
set(NRV_E2E_COMMON_ENV
    NRV_WINE64=${NRV_WINE64}
    NRV_WINESERVER=${NRV_WINESERVER}
    NRV_EXE64=${NRV_EXE64}
    NRV_EXE32=${NRV_EXE32}
    NRV_E2E_DIR=${NRV_E2E_DIR}
    NRV_E2E_BUILD=${CMAKE_BINARY_DIR}/e2e
    NRV_VERSION=${PROJECT_VERSION})
set(NRV_E2E_ENV ${NRV_E2E_COMMON_ENV}
    NRV_FIXTURES=${NRV_WIN64_BUILD_DIR}/fixtures
    NRV_TEMPLATE_PREFIX=${NRV_TEMPLATE_PREFIX})

# Lists a program's imports and a DLL's exports for the static checks.
add_executable(pe_imports ${NRV_E2E_DIR}/pe_imports.cpp)
target_compile_options(pe_imports PRIVATE ${NRV_WARNINGS})

# Wine's PE DLLs, fetched by scripts/fetch-wine-dlls.sh (scripts/test.sh runs it).
set(NRV_WINE_DLLS_DIR ${CMAKE_SOURCE_DIR}/build/wine-dlls CACHE PATH "Wine's PE DLLs for the import check")
foreach(exe_and_arch "${NRV_EXE64};x64;${NRV_OBJDUMP64};x86_64-windows"
                     "${NRV_EXE32};x86;${NRV_OBJDUMP32};i386-windows")
    list(GET exe_and_arch 0 exe)
    list(GET exe_and_arch 1 arch)
    list(GET exe_and_arch 2 objdump)
    list(GET exe_and_arch 3 dlls)
    add_test(NAME static_checks_${arch}
             COMMAND bash ${NRV_E2E_DIR}/static_checks.sh ${exe} ${arch} ${objdump} ${CMAKE_SOURCE_DIR}
                     $<TARGET_FILE:pe_imports> ${NRV_WINE_DLLS_DIR}/${dlls})
    set_tests_properties(static_checks_${arch} PROPERTIES TIMEOUT 60
        ENVIRONMENT NRV_VERSION=${PROJECT_VERSION})
endforeach()

add_test(NAME e2e_wine_template COMMAND bash ${NRV_E2E_DIR}/make_template.sh)
set_tests_properties(e2e_wine_template PROPERTIES
    ENVIRONMENT "${NRV_E2E_ENV}" FIXTURES_SETUP wine_template TIMEOUT 300)

# Each scenario's header names the programs and Windows it runs for:
#   # arch: x64 x86    x64: the 64-bit program on 64-bit Windows;
#                      x86: the 32-bit program on 32-bit Windows;
#                      wow64: the 32-bit program on 64-bit Windows (WoW64).
# Without the line a scenario runs for x64 and x86. Its "# needs:" line is
# read by lib.sh when it runs (tests/README.md).
file(GLOB NRV_E2E_SCENARIOS CONFIGURE_DEPENDS ${NRV_E2E_DIR}/scenarios/*.sh)
set(NRV_E2E_X64_SCENARIOS "")
set(NRV_E2E_X86_SCENARIOS "")
foreach(scenario ${NRV_E2E_SCENARIOS})
    get_filename_component(name ${scenario} NAME_WE)
    file(STRINGS ${scenario} arch_line REGEX "^# arch:" LIMIT_COUNT 1)
    if(arch_line)
        string(REGEX REPLACE "^# arch:[ \t]*" "" arches "${arch_line}")
        separate_arguments(arches UNIX_COMMAND "${arches}")
    else()
        set(arches x64 x86)
    endif()
    foreach(arch ${arches})
        if(arch STREQUAL "x64")
            list(APPEND NRV_E2E_X64_SCENARIOS ${name})
        elseif(arch STREQUAL "x86")
            list(APPEND NRV_E2E_X86_SCENARIOS ${name}:win32)
        elseif(arch STREQUAL "wow64")
            list(APPEND NRV_E2E_X86_SCENARIOS ${name}:win64)
        else()
            message(FATAL_ERROR "${scenario}: unknown arch '${arch}' (x64, x86 or wow64)")
        endif()
    endforeach()
endforeach()

# A scenario exits 77 when it skips itself (a missing prerequisite); ctest
# shows it as skipped, with the reason in its output. The longest takes about
# 80 s on a quiet machine and ran past 180 s with the cores busy with other
# builds beside four scenarios: the limit is the one of the 32-bit program's.
foreach(name ${NRV_E2E_X64_SCENARIOS})
    add_test(NAME e2e_${name} COMMAND bash ${NRV_E2E_DIR}/scenarios/${name}.sh)
    set_tests_properties(e2e_${name} PROPERTIES
        ENVIRONMENT "${NRV_E2E_ENV}" FIXTURES_REQUIRED wine_template
        SKIP_RETURN_CODE 77 TIMEOUT 300)
endforeach()

# The 32-bit program, run for real: Debian's 32-bit Wine, under qemu-i386
# where the kernel runs no i386 code (tests/e2e/emulation). One binfmt
# handler, gated to these tests, is registered around them; where that
# takes root or binfmt_misc and there is none, they are skipped.
find_program(NRV_CLANG clang)
set(NRV_WINE32 /usr/lib/wine/wine)
set(NRV_X86_STATE ${CMAKE_BINARY_DIR}/x86-emulation)
# nrv_preload(TARGET SOURCE DIR NAME): SOURCE built by clang, without any C
# library, into DIR/lib/i386-linux-gnu/NAME and DIR/lib/x86_64-linux-gnu/NAME,
# so that one LD_PRELOAD value (DIR/$LIB/NAME, ld.so expands $LIB) serves 32-
# and 64-bit processes.
function(nrv_preload target source dir name)
    set(flags -O2 -fPIC -shared -nostdlib -Wall -Wextra -Wpedantic -Werror -Wno-empty-translation-unit)
    set(outputs ${dir}/lib/i386-linux-gnu/${name} ${dir}/lib/x86_64-linux-gnu/${name})
    add_custom_command(OUTPUT ${outputs}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}/lib/i386-linux-gnu ${dir}/lib/x86_64-linux-gnu
        COMMAND ${NRV_CLANG} --target=i386-linux-gnu ${flags} -o ${dir}/lib/i386-linux-gnu/${name} ${source}
        COMMAND ${NRV_CLANG} --target=x86_64-linux-gnu ${flags} -o ${dir}/lib/x86_64-linux-gnu/${name} ${source}
        DEPENDS ${source} VERBATIM)
    add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()
nrv_preload(nrv_x86_preload ${NRV_E2E_DIR}/emulation/mmap_noreplace.c ${NRV_X86_STATE} nrv_mmap.so)
# Stops the program after a given line, for the interrupted scenario.
nrv_preload(nrv_stop_preload ${NRV_E2E_DIR}/stop_after_line.c ${CMAKE_BINARY_DIR}/e2e/preload nrv_stop.so)

add_test(NAME e2e_x86_emulation_on
         COMMAND bash ${NRV_E2E_DIR}/emulation/binfmt.sh on ${CMAKE_BINARY_DIR})
add_test(NAME e2e_x86_emulation_off
         COMMAND bash ${NRV_E2E_DIR}/emulation/binfmt.sh off ${CMAKE_BINARY_DIR})
# The 64-bit template is made before the handler exists, as on a machine
# without these tests.
set_tests_properties(e2e_x86_emulation_on PROPERTIES
    FIXTURES_SETUP x86_emulation FIXTURES_REQUIRED wine_template SKIP_RETURN_CODE 77 TIMEOUT 180)
set_tests_properties(e2e_x86_emulation_off PROPERTIES FIXTURES_CLEANUP x86_emulation TIMEOUT 60)

set(NRV_X86_ENV ${NRV_E2E_COMMON_ENV}
    NRV_E2E_ARCH=x86
    NRV_WINE32=${NRV_WINE32}
    NRV_FIXTURES=${NRV_WIN32_BUILD_DIR}/fixtures
    NRV_X86_STATE=${NRV_X86_STATE})
# win32: a 32-bit Windows; win64: a 64-bit Windows, where the program runs
# under WoW64.
foreach(winearch win32 win64)
    add_test(NAME e2e_x86_template_${winearch} COMMAND bash ${NRV_E2E_DIR}/make_template.sh)
    set_tests_properties(e2e_x86_template_${winearch} PROPERTIES
        ENVIRONMENT "${NRV_X86_ENV};NRV_TEMPLATE_PREFIX=${NRV_TEMPLATE_PREFIX}-${winearch};NRV_TEMPLATE_WINEARCH=${winearch}"
        FIXTURES_SETUP x86_template_${winearch} FIXTURES_REQUIRED x86_emulation
        SKIP_RETURN_CODE 77 TIMEOUT 300)
endforeach()
# The scenarios of the 32-bit program, each on the Windows its header names.
foreach(name_and_winearch ${NRV_E2E_X86_SCENARIOS})
    string(REPLACE ":" ";" name_and_winearch ${name_and_winearch})
    list(GET name_and_winearch 0 name)
    list(GET name_and_winearch 1 winearch)
    # A scenario that runs for x86 and wow64 has e2e_x86_NAME and e2e_wow64_NAME.
    set(test e2e_x86_${name})
    if(winearch STREQUAL "win64" AND "${name}:win32" IN_LIST NRV_E2E_X86_SCENARIOS)
        set(test e2e_wow64_${name})
    endif()
    add_test(NAME ${test} COMMAND bash ${NRV_E2E_DIR}/scenarios/${name}.sh)
    set_tests_properties(${test} PROPERTIES
        ENVIRONMENT "${NRV_X86_ENV};NRV_TEMPLATE_PREFIX=${NRV_TEMPLATE_PREFIX}-${winearch}"
        FIXTURES_REQUIRED "x86_emulation;x86_template_${winearch}"
        SKIP_RETURN_CODE 77 TIMEOUT 300)
endforeach()

add_test(NAME reproducible_build_x64 COMMAND bash ${NRV_E2E_DIR}/reproducible_build.sh
         ${CMAKE_SOURCE_DIR} mingw-x64.cmake ${NRV_EXE64})
add_test(NAME reproducible_build_x86 COMMAND bash ${NRV_E2E_DIR}/reproducible_build.sh
         ${CMAKE_SOURCE_DIR} mingw-x86.cmake ${NRV_EXE32})
# Each rebuild compiles the program on both cores: one at a time, so that two
# of them beside the scenarios do not starve the machine (one ran past its
# time limit that way).
set_tests_properties(reproducible_build_x64 reproducible_build_x86 PROPERTIES TIMEOUT 300
    RESOURCE_LOCK two_cores_compiling)

# The release zips as scripts/package.sh packs them, unsigned and signed.
add_test(NAME release_package COMMAND bash ${NRV_E2E_DIR}/release_package.sh ${CMAKE_SOURCE_DIR})
set_tests_properties(release_package PROPERTIES TIMEOUT 120)

include(${NRV_E2E_DIR}/products/Packages.cmake)
