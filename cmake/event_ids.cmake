# The ids of the events an unattended run reports, read from the message
# table that gives them their texts (src/run/run_events.mc), so that each id
# is written there alone: generated/run/run_event_ids.h holds one constant
# per SymbolicName, valued its MessageId.
set(NRV_EVENT_MESSAGES ${CMAKE_SOURCE_DIR}/src/run/run_events.mc)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${NRV_EVENT_MESSAGES})
file(STRINGS ${NRV_EVENT_MESSAGES} nrv_event_lines REGEX "^(MessageId|SymbolicName)=")
set(nrv_event_ids "// Made by CMake from src/run/run_events.mc: edit that file.\n#pragma once\n\n#include \"platform/platform.h\"\n\n")
foreach(line IN LISTS nrv_event_lines)
    if(line MATCHES "^MessageId=([0-9]+)$")
        set(nrv_event_id ${CMAKE_MATCH_1})
    elseif(line MATCHES "^SymbolicName=([A-Z_]+)$")
        string(APPEND nrv_event_ids "constexpr DWORD ${CMAKE_MATCH_1} = ${nrv_event_id};\n")
    endif()
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/run/run_event_ids.h CONTENT "${nrv_event_ids}" @ONLY)
target_include_directories(nrv_core PUBLIC ${CMAKE_BINARY_DIR}/generated)
