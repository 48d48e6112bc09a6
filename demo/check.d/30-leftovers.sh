#!/bin/bash
# The registry key of the driver's mark after the run: DriverName should be
# gone, the key and its other values still there.
set -uo pipefail
: "${WINEPREFIX:?}" "${NRV_WINE:?}"

key='HKLM\Software\NerovanDrv'
echo "== registry: $key, 32-bit view, after the run:"
if ! "$NRV_WINE" reg query "$key" /reg:32 2>/dev/null | tr -d '\r' | grep -v '^$'; then
    echo "(no such key)"
fi
# Fails while the mark is still there.
! "$NRV_WINE" reg query "$key" /v DriverName /reg:32 >/dev/null 2>&1
