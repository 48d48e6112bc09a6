#!/bin/bash
# arch: x64 x86
# needs: msibuild services
# A /quiet run cut off in the middle is finished by the next one. On the demo
# machine with staged driver packages, /quiet is killed (kill -9, by its
# process id) three times in a row, each time right after a given line: in
# the product pass once a package is committed and before its uninstall, in
# the device pass between two nodes of one hardware id, in the store pass
# between two packages. Each next run removes what the killed one left; the
# last exits 0 with NRV-CHECK: CLEAN, the other maker's product, packages and
# registry value kept. A kill inside an uninstall or between two products of
# one upgrade code is left to the unit test: Wine's installer rolls back
# neither (platform notes).
source "$NRV_E2E_DIR/lib.sh"

[[ -f $NRV_E2E_BUILD/preload/lib/x86_64-linux-gnu/nrv_stop.so ]] ||
    { echo "missing nrv_stop.so in $NRV_E2E_BUILD/preload (build the host preset)"; exit 1; }
# ld.so expands $LIB: the library of the process's own kind (stop_after_line.c).
stop_preload="$NRV_E2E_BUILD/preload/\$LIB/nrv_stop.so"

# kill_after LINE DIR: runs /quiet in DIR until it has written LINE, when it
# stops itself; kills it there by its process id and checks that it was.
kill_after() {
    local line=$1 dir=$2 pid stat state='' rc i
    mkdir -p "$dir"
    E2E_CONSOLE=$dir.console.txt
    (cd "$dir" && LD_PRELOAD="${LD_PRELOAD:+$LD_PRELOAD:}$stop_preload" NRV_STOP_AFTER=$line \
        exec "$E2E_WINE" "$E2E_EXE" /quiet </dev/null >"$E2E_CONSOLE" 2>/dev/null) &
    pid=$!
    for ((i = 0; i < E2E_TIMEOUT * 10; i++)); do
        stat=$(cat "/proc/$pid/stat" 2>/dev/null) || break
        state=${stat##*) }
        state=${state%% *}
        [[ $state == [TZ] ]] && break
        sleep 0.1
    done
    [[ $state == T ]] && kill -9 "$pid"
    { wait "$pid" && rc=0 || rc=$?; } 2>/dev/null  # without the shell's "Killed" notice
    e2e_expect_eq "killed after '$line'" "$rc" 137
    e2e_expect_eq "killed after '$line': its last line" "$(tail -n 1 "$E2E_CONSOLE" | tr -d '\r')" "$line"
    e2e_wait
}
# count LINE: how often the last run wrote LINE.
count() { tr -d '\r' <"$E2E_CONSOLE" | grep -cxF "$1" || true; }

e2e_plant_demo
e2e_stage_driver_packages
e2e_wait

# The first product's package committed, nothing uninstalled yet.
kill_after "Driver installer data base has changed successfully." "$E2E_WORK/products"
kill_after 'Device instance id: USB\VID_7F3A&PID_0031\NRV4D5E6F' "$E2E_WORK/devices"
e2e_expect_eq "after the product pass's kill: products removed" \
    "$(count "Driver product package has remove successfully")" 4
kill_after 'Remove driver package for inf file: oem20.inf' "$E2E_WORK/store"
e2e_expect_eq "after the device pass's kill: products removed" \
    "$(count "Driver product package has remove successfully")" 0
e2e_expect_eq "after the device pass's kill: nodes removed" "$(count "Device node has removed successfully")" 2

e2e_run '' "$E2E_WORK/last" /quiet
e2e_expect_eq "after the store pass's kill: packages removed" \
    "$(count "Device inf file has removed successfully")" 2
e2e_expect_eq "last run: exit code" "$E2E_RC" 0
e2e_expect_eq "last run: verdict" "$(tail -n 1 "$E2E_CONSOLE" | tr -d '\r')" "NRV-CHECK: CLEAN"

products=$(e2e_wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:32 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *DisplayName *REG_SZ *//p')
e2e_expect_eq "installed products: the other maker's" "$products" "Other Camera Driver"
e2e_expect_eq "registry: the other value kept" \
    "$(e2e_wine reg query 'HKLM\Software\NerovanDrv' /reg:32 2>/dev/null | tr -d '\r' | awk '/REG_/ {print $1}')" InstallDir
left=$(e2e_wine "$NRV_FIXTURES/devices_fixture.exe" report inf:oem9.inf inf:oem10.inf inf:oem20.inf \
    inf:oem21.inf inf:oem22.inf inf:oem23.inf | tr -d '\r')
e2e_expect_eq "INF packages left: the shared and the other maker's" "$left" "$(printf '%s\n' 'inf oem22.inf' 'inf oem23.inf')"
e2e_finish
