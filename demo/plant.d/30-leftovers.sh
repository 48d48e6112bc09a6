#!/bin/bash
# The driver's registry mark (32-bit view, beside a value that must stay) and
# the Windows setup logs that the run copies next to its own log.
set -euo pipefail
trap 'echo "$(basename "$0"): \"$BASH_COMMAND\" exited $? (line $LINENO)" >&2' ERR
: "${WINEPREFIX:?}" "${NRV_WINE:?}"

key='HKLM\Software\NerovanDrv'
"$NRV_WINE" reg add "$key" /v DriverName /d nrvscan /reg:32 /f >/dev/null
"$NRV_WINE" reg add "$key" /v InstallDir /d 'C:\Program Files (x86)\Nerovan' /reg:32 /f >/dev/null
echo "registry mark: $key (32-bit view), values DriverName and InstallDir"

windows=$WINEPREFIX/drive_c/windows
stamp=$(date '+%Y/%m/%d %H:%M:%S')
printf '[%s] DPInst: installing nrvscan.inf\r\n' "$stamp" >"$windows/DPInst.log"
printf '>>>  [Device Install (Hardware initiated) - USB\\VID_7F3A&PID_0031]\r\n>>>  Section start %s\r\n' \
    "$stamp" >"$windows/inf/setupapi.dev.log"
printf '>>>  [Setup online Device Install]\r\n>>>  Section start %s\r\n' "$stamp" >"$windows/inf/setupapi.setup.log"
printf '[SetupAPI Log]\r\nOS Version = 5.1.2600 Service Pack 3\r\n' >"$windows/setupapi.log"
echo "setup logs: C:\\windows\\DPInst.log, C:\\windows\\setupapi.log, C:\\windows\\inf\\setupapi.dev.log, C:\\windows\\inf\\setupapi.setup.log"
