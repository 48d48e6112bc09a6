#!/bin/bash
# Makes the Wine prefix every scenario starts from, once per build tree: a
# 64-bit Windows, or with NRV_E2E_ARCH=x86 (32-bit Wine under emulation) the
# Windows that NRV_TEMPLATE_WINEARCH names: win32 (32-bit Windows) or win64
# (64-bit Windows with its 32-bit subsystem, WoW64).
source "$NRV_E2E_DIR/fixed_layout.sh"
source "$NRV_E2E_DIR/../check.sh"
template=$NRV_TEMPLATE_PREFIX
if [[ -f $template/.nrv-ready ]]; then exit 0; fi
wine=$NRV_WINE64 winearch=win64 overrides=
if [[ ${NRV_E2E_ARCH:-x64} == x86 ]]; then
    source "$NRV_E2E_DIR/emulation/x86.sh"
    winearch=${NRV_TEMPLATE_WINEARCH:?}
    overrides=$E2E_DLL_OVERRIDES
    if [[ $winearch == win32 ]]; then wine=$NRV_WINE32; fi
fi
rm -rf "$template"
mkdir -p "$template"
export WINEPREFIX=$template WINEARCH=$winearch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=$overrides"
unset DISPLAY
timeout 600 "$wine" wineboot --init >/dev/null 2>&1
if ! timeout 300 "$NRV_WINESERVER" -w; then
    timeout 60 "$NRV_WINESERVER" -k || true
    if declare -F x86_end_leftovers >/dev/null; then x86_end_leftovers "$template"; fi
    echo "the prefix's processes did not end after wineboot"
    exit 1
fi
touch "$template/.nrv-ready"
echo "template prefix ready: $template ($winearch)"
