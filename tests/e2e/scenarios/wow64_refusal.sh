#!/bin/bash
# arch: wow64
# The 32-bit program on 64-bit Windows runs under WoW64 and refuses to work:
# banner, blank line, "You should use x64 version of utility.", exit code -1
# (255), and a run log of those three lines, whichever loader starts it. It
# asks nothing, though "y" waits on standard input, and leaves the scanner's
# registry mark, device node and INF file and the setup logs where they are.
# Its /check refuses too: the refusal, then "NRV-CHECK: INCOMPLETE", exit 2.
source "$NRV_E2E_DIR/lib.sh"

fixture=$NRV_FIXTURES/devices_fixture.exe
node='USB\VID_7F3A&PID_0031\NRV0001'
key='HKLM\Software\NerovanDrv'
e2e_wine "$fixture" plant "node:$node,{6BDD1FC6-810F-11D0-BEC7-08002BE2092F},oem9.inf,3.2.0.1" \
    inf:oem9.inf || e2e_fail "planting the device node"
E2E_WINE=$NRV_WINE64 e2e_wine reg add "$key" /v DriverName /d nrvscan /reg:32 /f >/dev/null
printf 'setup log\r\n' >"$(e2e_unix_path 'C:\windows\setupapi.log')"

what_exists() {
    e2e_wine "$fixture" report 'nodes:USB\VID_7F3A&PID_0031' inf:oem9.inf | tr -d '\r'
    E2E_WINE=$NRV_WINE64 e2e_reg query "$key" /v DriverName /reg:32 |
        tr -d '\r' | awk '$2 == "REG_SZ" {print "mark " $3}'
}
planted=$(printf '%s\n' "node $node" 'inf oem9.inf' 'mark nrvscan')
e2e_expect_eq "planted node, INF and mark exist" "$(what_exists)" "$planted"

e2e_lines refusal "You should use x64 version of utility."
for E2E_WINE in "$NRV_WINE64" "$NRV_WINE32"; do
    loader=$(basename "$E2E_WINE")
    dir=$E2E_WORK/$loader
    e2e_run 'y\n' "$dir"
    e2e_expect_eq "$loader: exit code" "$E2E_RC" 255
    e2e_expect_bytes "$loader: console" "$E2E_CONSOLE" "$E2E_BANNER$refusal"
    log=$(e2e_run_log "$dir")
    e2e_expect_bytes "$loader: run log" "$log" "$E2E_BANNER$refusal"
    e2e_expect_eq "$loader: files left" "$(e2e_files "$dir")" "$(basename "$log")"
    # Its inventory would see the 32-bit view of the machine: it lists nothing.
    e2e_run '' "$dir-check" /check
    e2e_expect_eq "$loader: /check exit code" "$E2E_RC" 2
    e2e_lines verdict "NRV-CHECK: INCOMPLETE"
    e2e_expect_bytes "$loader: /check console" "$E2E_CONSOLE" "$E2E_BANNER$refusal$verdict"
    e2e_expect_eq "$loader: /check writes no file" "$(e2e_files "$dir-check")" ""
done
e2e_expect_eq "node, INF and mark untouched" "$(what_exists)" "$planted"
e2e_finish
