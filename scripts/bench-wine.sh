#!/bin/bash
# Times, under Wine on the demo machine:
#  1. the whole cleanup against `msiexec /x` of one of its products alone;
#  2. the program's start to its prompt against a bare console program;
#  3. /check on the demo machine, and with 1 000 and 2 000 other makers'
#     driver packages (oem100.inf ...) added to its INF folder: the time per
#     added package, each against the start to the prompt.
# Each is measured on fresh copies of one demo prefix, repeated; the medians
# and their ratio are printed. Wall-clock time: run it on a quiet machine.
set -euo pipefail
source "$(dirname "$0")/../tests/e2e/fixed_layout.sh"
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

# Demo machines with N other makers' driver packages added, oem100.inf on.
# stage_foreign N: makes $work/template-N.
stage_foreign() {
    local n=$1 inf=$work/template-$1/drive_c/windows/inf
    cp -a "$work/template" "$work/template-$n"
    awk -v n="$n" -v dir="$inf" 'BEGIN {
        for (i = 100; i < 100 + n; i++) {
            f = sprintf("%s/oem%d.inf", dir, i)
            printf "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Image\r\nProvider=%%M%%\r\n\r\n" > f
            printf "[Manufacturer]\r\n%%M%%=Models,NTamd64,NTx86\r\n\r\n" > f
            printf "[Models.NTamd64]\r\n%%D%%=Install, USB\\VID_04A9&PID_%04X, USB\\VID_04A9&PID_%04X&MI_00\r\n\r\n", i, i > f
            printf "[Models.NTx86]\r\n%%D%%=Install, USB\\VID_04A9&PID_%04X\r\n\r\n", i > f
            printf "[Strings]\r\nM=\"Other maker\"\r\nD=\"Other camera %d\"\r\n", i > f
            close(f)
        }
    }'
}
stage_foreign 1000
stage_foreign 2000

now() { date +%s%N; }
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# fresh N [TEMPLATE]: a copy of the demo machine (or TEMPLATE) with its Wine
# server started, so that what is timed is the program, not Wine's start-up.
fresh() {
    local dir=$work/run$1
    rm -rf "$dir"
    mkdir -p "$dir/cwd"
    cp -a "${2:-$work/template}" "$dir/prefix"
    export WINEPREFIX=$dir/prefix
    "$wineserver" -p 60
    "$wine" cmd /c exit >/dev/null 2>&1
    cd "$dir/cwd"
}
# done_run: stops the copy's Wine server and removes the copy (kept with
# NRV_BENCH_KEEP).
done_run() {
    "$wineserver" -k
    [[ -n ${NRV_BENCH_KEEP:-} ]] || rm -rf "$WINEPREFIX"
}
# time_check ARRAY: times /check $checks times on the current copy (it
# changes nothing), appending each time to ARRAY; its list goes to ../check.txt.
checks=${NRV_BENCH_CHECKS:-3}
time_check() {
    local -n _times=$1
    local j t
    for ((j = 0; j < checks; j++)); do
        t=$(now); "$wine" "$exe" /check >../check.txt || true; _times+=($((($(now) - t) / 1000000)))
    done
}

cleanup_ms=() msiexec_ms=() prompt_ms=() bare_ms=() check_ms=() check1000_ms=() check2000_ms=()
for ((i = 0; i < runs; i++)); do
    fresh "c$i"; t=$(now); printf 'y\n' | "$wine" "$exe" >../console.txt; cleanup_ms+=($((($(now) - t) / 1000000)))
    done_run
    fresh "m$i"; t=$(now); "$wine" msiexec /x '{3A7E05D2-4C4C-4C38-8F2D-0000000000C3}' /qn; msiexec_ms+=($((($(now) - t) / 1000000)))
    done_run
    fresh "p$i"
    t=$(now); printf 'n\n' | "$wine" "$exe" >/dev/null; prompt_ms+=($((($(now) - t) / 1000000)))
    t=$(now); "$wine" "$bare" >/dev/null; bare_ms+=($((($(now) - t) / 1000000)))
    time_check check_ms
    done_run
    for n in 1000 2000; do
        fresh "k$n-$i" "$work/template-$n"
        time_check "check${n}_ms"
        # The added packages are another maker's: the list must not change.
        cmp -s ../check.txt "$work/runp$i/check.txt" || { echo "/check lists other makers' packages" >&2; exit 1; }
        done_run
    done
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
k=$(median "${check_ms[@]}") k1=$(median "${check1000_ms[@]}") k2=$(median "${check2000_ms[@]}")
echo "/check ($checks per copy), demo machine: $k ms  (runs: ${check_ms[*]})"
echo "/check, 1 000 more packages: $k1 ms  (runs: ${check1000_ms[*]})"
echo "/check, 2 000 more packages: $k2 ms  (runs: ${check2000_ms[*]})"
awk -v k="$k" -v k1="$k1" -v k2="$k2" -v p="$p" 'BEGIN {
    printf "ratio /check / start-up:   %.2f\n", k / p
    printf "per package, 1 000:        %.3f ms = %.4f x start-up\n", (k1 - k) / 1000, (k1 - k) / 1000 / p
    printf "per package, 2 000:        %.3f ms = %.4f x start-up\n", (k2 - k) / 2000, (k2 - k) / 2000 / p
    printf "ratio /check 2 000 / start-up: %.2f\n", k2 / p
}'
