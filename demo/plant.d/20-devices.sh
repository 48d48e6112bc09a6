#!/bin/bash
# Demo machine: three scanner device nodes (two models, one of them without a
# version) installed from two INF packages in the Windows INF folder.
set -euo pipefail
trap 'echo "$(basename "$0"): \"$BASH_COMMAND\" exited $? (line $LINENO)" >&2' ERR
: "${NRV_FIXTURES:?}" "${NRV_WINE:?}" "${WINEPREFIX:?}"

image='{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}'
"$NRV_WINE" "$NRV_FIXTURES/devices_fixture.exe" plant \
    "node:USB\\VID_7F3A&PID_0031\\NRV1A2B3C,$image,oem10.inf,3.2.0.1" \
    "node:USB\\VID_7F3A&PID_0031\\NRV4D5E6F,$image,oem10.inf,3.2.0.1" \
    "node:USB\\VID_7F3A&PID_8064\\NRV778899,$image,oem9.inf," \
    inf:oem9.inf inf:oem10.inf
echo "planted scanner nodes under USB\\VID_7F3A&PID_0031 (2) and USB\\VID_7F3A&PID_8064 (1);"
echo "their INF packages C:\\windows\\inf\\oem10.inf and oem9.inf"
