#!/bin/bash
# Scanner device nodes (under the hardware ids of tests/data/tables.txt) and
# the demo's INF packages still on the demo machine.
set -euo pipefail
: "${NRV_DEMO_ROOT:?}" "${NRV_FIXTURES:?}" "${NRV_WINE:?}" "${WINEPREFIX:?}"
args=()
for id in $(sed -n 's/^hardware-id //p' "$NRV_DEMO_ROOT/tests/data/tables.txt" | tr -d '\r'); do
    args+=("nodes:$id")
done
left=$("$NRV_WINE" "$NRV_FIXTURES/devices_fixture.exe" report \
    "${args[@]}" inf:oem9.inf inf:oem10.inf | tr -d '\r')
echo "== scanner device nodes and INF packages left: ${left:+$'\n'}${left:-none}"
[[ -z $left ]]  # fails while a scanner node or INF package is left
