#!/bin/bash
# Times, under Wine on the demo machine:
#  1. the whole cleanup against `msiexec /x` of one of its products alone;
#  2. the program's start to its prompt against a bare console program.
# Each is measured on fresh copies of one demo prefix, repeated; the medians
# and their ratio are printed. Wall-clock time: run it on a quiet machine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${NRV_BENCH_RUNS:-5}
cmake --preset win-x64 >/dev/null
cmake --build --preset win-x64 >/dev/null

wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver
exe=$root/build/win-x64/NrvDriverCleanupx64.exe
bare=$root/build/win-x64/planted/bare_console.exe
work=$(mktemp -d /tmp/nrv-bench-XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
cleanup() {
    for p in "$work"/*/prefix "$work/template"; do WINEPREFIX=$p "$wineserver" -k 2>/dev/null || true; done
    rm -rf "$work"
}
[[ -n ${NRV_BENCH_KEEP:-} ]] || trap cleanup EXIT

echo "making the demo machine..." >&2
export WINEPREFIX=$work/template
"$wine" wineboot --init >/dev/null 2>&1
"$wineserver" -w
NRV_DEMO_ROOT=$root NRV_DEMO_BUILD=$work/demo NRV_WINE=$wine NRV_WINESERVER=$wineserver \
    NRV_FIXTURES=$root/build/win-x64/fixtures \
    bash -c 'for p in demo/plant.d/*.sh; do bash "$p" >/dev/null; done'
"$wineserver" -w

now() { date +%s%N; }
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# fresh N: a copy of the demo machine with its Wine server started, so that
# what is timed is the program, not Wine's start-up.
fresh() {
    local dir=$work/run$1
    rm -rf "$dir"
    mkdir -p "$dir/cwd"
    cp -a "$work/template" "$dir/prefix"
    export WINEPREFIX=$dir/prefix
    "$wineserver" -p 60
    "$wine" cmd /c exit >/dev/null 2>&1
    cd "$dir/cwd"
}

cleanup_ms=() msiexec_ms=() prompt_ms=() bare_ms=()
for ((i = 0; i < runs; i++)); do
    fresh "c$i"; t=$(now); printf 'y\n' | "$wine" "$exe" >../console.txt; cleanup_ms+=($((($(now) - t) / 1000000)))
    "$wineserver" -k
    fresh "m$i"; t=$(now); "$wine" msiexec /x '{3A7E05D2-4C4C-4C38-8F2D-0000000000C3}' /qn; msiexec_ms+=($((($(now) - t) / 1000000)))
    "$wineserver" -k
    fresh "p$i"
    t=$(now); printf 'n\n' | "$wine" "$exe" >/dev/null; prompt_ms+=($((($(now) - t) / 1000000)))
    t=$(now); "$wine" "$bare" >/dev/null; bare_ms+=($((($(now) - t) / 1000000)))
    "$wineserver" -k
    cd "$root"
done

c=$(median "${cleanup_ms[@]}") m=$(median "${msiexec_ms[@]}")
p=$(median "${prompt_ms[@]}") b=$(median "${bare_ms[@]}")
echo "runs: $runs (medians, milliseconds)"
echo "whole cleanup:            $c ms   (runs: ${cleanup_ms[*]})"
echo "msiexec /x of one product: $m ms   (runs: ${msiexec_ms[*]})"
awk -v a="$c" -v b="$m" 'BEGIN {printf "ratio cleanup / msiexec:   %.2f\n", a / b}'
echo "start to prompt (declined): $p ms  (runs: ${prompt_ms[*]})"
echo "bare console program:       $b ms  (runs: ${bare_ms[*]})"
awk -v a="$p" -v b="$b" 'BEGIN {printf "ratio start-up / bare:     %.2f\n", a / b}'
