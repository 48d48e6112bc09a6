#!/bin/bash
# Lists the Windows Installer products installed on the demo machine: after
# the cleanup, no Nerovan product should be left (the script fails if one is).
set -euo pipefail
"$NRV_WINESERVER" -w
echo "== installed products (Windows Installer):"
products=$("$NRV_WINE" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:32 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *DisplayName *REG_SZ *//p' | LC_ALL=C sort || true)
echo "${products:-    (none)}" | sed 's/^/    /'
# Fails while a scanner product is installed.
! grep -q '^Nerovan' <<<"$products"
