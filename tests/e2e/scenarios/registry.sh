#!/bin/bash
# arch: x64 x86
# The driver's registry mark: DriverName goes from HKLM\Software\NerovanDrv in
# the 32-bit view; the key, its other values and the 64-bit view stay. Then,
# with no key in the 32-bit view, the pass only says what it looked for.
# 32-bit Windows has the one view: there the 64-bit view's checks are left out.
source "$NRV_E2E_DIR/lib.sh"
source "$NRV_E2E_DIR/expected_clean_machine.sh"

key='HKLM\Software\NerovanDrv'
reg_add() { e2e_wine reg add "$key" /v "$1" /d "$2" /reg:"$3" /f >/dev/null; }
# The key's values in one view ("name=data" per line, sorted), or "no key";
# any other failure of reg itself fails the scenario (e2e_reg).
reg_values() {
    local out rc=0
    out=$(e2e_reg query "$key" /reg:"$1") || rc=$?
    case $rc in
    0) awk '$2 ~ /^REG_/ {print $1 "=" $3}' <<<"${out//$'\r'/}" | LC_ALL=C sort ;;
    1) echo "no key" ;;
    *) echo "reg failed" ;;
    esac
}

# run_and_check NAME REGISTRY_REPORT: one consenting run; the console and the
# run log hold the other passes' clean-machine report around REGISTRY_REPORT.
run_and_check() {
    local name=$1 report=$E2E_CLEAN_PRODUCTS$2$E2E_CLEAN_DEVICES dir=$E2E_WORK/$1
    e2e_run 'y\n' "$dir"
    e2e_expect_eq "$name: exit code" "$E2E_RC" 0
    e2e_expect_bytes "$name: console" "$E2E_CONSOLE" "$E2E_BANNER$E2E_DIALOGUE$report$E2E_PAUSE"
    e2e_expect_bytes "$name: run log" "$(e2e_run_log "$dir")" "$E2E_BANNER$report"
}

reg_add DriverName nrvscan 32
reg_add InstallDir 'C:\Nerovan' 32
if [[ $E2E_WINDOWS == win64 ]]; then
    reg_add DriverName x64mark 64
    e2e_expect_eq "planted, 64-bit view" "$(reg_values 64)" "DriverName=x64mark"
fi
e2e_expect_eq "planted, 32-bit view" "$(reg_values 32)" $'DriverName=nrvscan\nInstallDir=C:\\Nerovan'
# expect_64 WHAT: the 64-bit view still holds its own DriverName.
expect_64() {
    if [[ $E2E_WINDOWS == win64 ]]; then e2e_expect_eq "$1: 64-bit view untouched" "$(reg_values 64)" "DriverName=x64mark"; fi
}

e2e_lines removed "" "Check registry entries" "Registry mark found" "Driver mark has removes successfully"
run_and_check mark "$removed"
e2e_expect_eq "mark: 32-bit view keeps the key and the other value" "$(reg_values 32)" 'InstallDir=C:\Nerovan'
expect_64 mark

e2e_wine reg delete "$key" /reg:32 /f >/dev/null
e2e_expect_eq "no 32-bit key planted" "$(reg_values 32)" "no key"
run_and_check no-key "$E2E_CLEAN_REGISTRY"
expect_64 "no key"
e2e_finish
