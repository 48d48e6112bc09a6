#!/bin/bash
# Scanner device nodes (under the eight hardware ids) and the demo's INF
# packages still on the demo machine.
set -euo pipefail
: "${NRV_DEMO_ROOT:?}" "${NRV_WINE64:?}" "${WINEPREFIX:?}"
args=()
for pid in 0031 0036 0042 0047 0053 0058 0064 8064; do args+=("nodes:USB\\VID_7F3A&PID_$pid"); done
left=$("$NRV_WINE64" "$NRV_DEMO_ROOT/build/win-x64/fixtures/devices_fixture.exe" report \
    "${args[@]}" inf:oem9.inf inf:oem10.inf | tr -d '\r')
echo "== scanner device nodes and INF packages left: ${left:+$'\n'}${left:-none}"
[[ -z $left ]]  # fails while a scanner node or INF package is left
