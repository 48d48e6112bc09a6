#!/bin/bash
# Makes the Wine prefix every scenario starts from, once per build tree.
set -euo pipefail
template=$NRV_TEMPLATE_PREFIX
if [[ -f $template/.nrv-ready ]]; then exit 0; fi
rm -rf "$template"
mkdir -p "$template"
export WINEPREFIX=$template WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
"$NRV_WINE64" wineboot --init >/dev/null 2>&1
"$NRV_WINESERVER" -w
touch "$template/.nrv-ready"
echo "template prefix ready: $template"
