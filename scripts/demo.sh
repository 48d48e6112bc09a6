#!/bin/bash
# Runs the cleanup on a demo machine: a Wine prefix holding a demo scanner
# installation, built afresh each time. Shows the console transcript and the
# files the run leaves in its working directory.
#
#   scripts/demo.sh            answers "y" for you
#   scripts/demo.sh --ask      lets you answer the prompt yourself
set -euo pipefail
source "$(dirname "$0")/../tests/e2e/fixed_layout.sh"
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup.sh

cmake --preset win-x64 >/dev/null
cmake --build --preset win-x64 >/dev/null

demo=$root/build/demo
rm -rf "$demo"
mkdir -p "$demo/run"
export WINEPREFIX=$demo/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT

echo "== making the demo machine (a new Wine prefix, about a minute)"
"$wine" wineboot --init >/dev/null 2>&1
"$wineserver" -w
export NRV_DEMO_ROOT=$root NRV_DEMO_BUILD=$demo NRV_WINE=$wine NRV_WINESERVER=$wineserver \
    NRV_FIXTURES=$root/build/win-x64/fixtures
for plant in "$root"/demo/plant.d/*.sh; do
    [[ -e $plant ]] || continue
    echo "== planting: $(basename "$plant" .sh)"
    bash "$plant"
done

exe=$root/build/win-x64/NrvDriverCleanupx64.exe
echo "== running NrvDriverCleanupx64.exe in $demo/run"
echo
cd "$demo/run"
if [[ ${1:-} == --ask ]]; then
    "$wine" "$exe" || rc=$?
else
    printf 'y\n' | "$wine" "$exe" || rc=$?
fi
"$wineserver" -w
echo
echo "== exit code: ${rc:-0}"
echo "== files left in $demo/run:"
ls -l "$demo/run"
# What is left of the scanner on the demo machine after the run.
traces=0
for check in "$root"/demo/check.d/*.sh; do
    [[ -e $check ]] || continue
    bash "$check" || traces=1
done
echo "== the program's own look, NrvDriverCleanupx64.exe /check:"
"$wine" "$exe" /check | tr -d '\r' | sed 's/^/    /' || traces=1
"$wineserver" -w
echo
if ((traces == 0)); then
    echo "== nothing of the scanner is left on the demo machine; the other maker's product and the key's other value are still there"
else
    echo "== traces of the scanner are left on the demo machine (see above)"
    exit 1
fi
