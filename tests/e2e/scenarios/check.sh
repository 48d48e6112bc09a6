#!/bin/bash
# arch: x64 x86
# needs: msibuild services
# /check lists what is left of the scanner and changes nothing: on a clean
# machine it says CLEAN (exit code 0); on the demo machine, with driver
# packages that no node names staged in the INF folder, it lists the products,
# the mark, the nodes, their packages and the scanner-only packages without a
# device (exit code 1), keeps a shared package and another maker's package
# that a scanner node names out of the count, writes no
# file, reads no standard input (a `y` waiting there stays unread) and leaves
# the machine byte for byte as it was. After a plain run only the packages
# without a device and the other maker's are left, and /check finds the first.
source "$NRV_E2E_DIR/lib.sh"
source "$NRV_E2E_DIR/expected_clean_machine.sh"

# On a clean machine: the banner and CLEAN.
e2e_run '' "$E2E_WORK/clean" /check
e2e_expect_eq "clean machine: exit code" "$E2E_RC" 0
e2e_lines expected "NRV-CHECK: CLEAN"
e2e_expect_bytes "clean machine: console" "$E2E_CONSOLE" "$E2E_BANNER$expected"
e2e_expect_eq "clean machine: files written" "$(e2e_files "$E2E_WORK/clean")" ""

e2e_plant_demo
e2e_stage_driver_packages
e2e_plant_other_makers_package
e2e_wait
e2e_snapshot >"$E2E_WORK/before.txt"
grep -q 'DriverName' "$E2E_WORK/before.txt" && grep -q 'oem21.inf' "$E2E_WORK/before.txt" ||
    e2e_fail "the snapshot does not show the planted machine"

# The planted nodes are registered ones, which Wine's SetupAPI lists as
# present (DIGCF_PRESENT): "attached: yes".
e2e_lines expected \
    "Driver product: {6B1D2E40-1A11-4A7E-91D5-000000000A01}, Nerovan Scanner Driver USB2, version 1.0.0" \
    "Driver product: {6B1D2E40-1A11-4A7E-91D5-000000000B02}, Nerovan Scanner Driver USB3, version 1.0.0" \
    "Driver product: {5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}, Nerovan Scanner Driver, version 1.0.0" \
    "Driver product: {3A7E05D2-4C4C-4C38-8F2D-0000000000C3}, Nerovan Scanner Tools, version 1.0.0" \
    'Driver mark: HKEY_LOCAL_MACHINE\Software\NerovanDrv DriverName (32-bit view)' \
    'Device node: USB\VID_7F3A&PID_0031\NRV1A2B3C, attached: yes, inf: oem10.inf, version: 3.2.0.1' \
    'Device node: USB\VID_7F3A&PID_0031\NRV4D5E6F, attached: yes, inf: oem10.inf, version: 3.2.0.1' \
    'Device node: USB\VID_7F3A&PID_0058\NRV0033, attached: yes, inf: oem33.inf, version: 1.0.0.0' \
    'Device node: USB\VID_7F3A&PID_8064\NRV778899, attached: yes, inf: oem9.inf, version: none' \
    "Driver package: oem10.inf" "Driver package: oem9.inf" "Another maker's driver package kept: oem33.inf" \
    "Driver package without device: oem20.inf" "Driver package without device: oem21.inf" \
    "Shared driver package kept: oem22.inf" \
    "NRV-CHECK: FOUND products=4 mark=1 nodes=4 packages=4"

# With nothing on standard input, and with a `y` waiting there (the option in
# another spelling): the same list, nothing read, written or changed.
printf 'y\n' >"$E2E_WORK/answer.txt"
for form in "/check" "-CHECK"; do
    exec 3<"$E2E_WORK/answer.txt"
    if [[ $form == /check ]]; then e2e_run_stdin "$E2E_WORK/$form" "$form" </dev/null; else e2e_run_stdin "$E2E_WORK/$form" "$form" <&3; fi
    e2e_expect_eq "$form: standard input left unread" "$(sed -n 's/^pos:\s*//p' /proc/$BASHPID/fdinfo/3)" 0
    exec 3<&-
    e2e_expect_eq "$form: exit code" "$E2E_RC" 1
    e2e_expect_bytes "$form: console" "$E2E_CONSOLE" "$E2E_BANNER$expected"
    e2e_expect_eq "$form: files written" "$(e2e_files "$E2E_WORK/$form")" ""
    e2e_expect_unchanged "$form: machine unchanged" "$E2E_WORK/before.txt"
done

# A plain run removes what the nodes name; the packages without a device
# stay, and /check finds them.
e2e_run 'y\n' "$E2E_WORK/plain"
e2e_expect_eq "plain run: exit code" "$E2E_RC" 0
left=$(e2e_wine "$NRV_FIXTURES/devices_fixture.exe" report inf:oem9.inf inf:oem10.inf inf:oem20.inf \
    inf:oem21.inf inf:oem22.inf inf:oem23.inf nodes:'USB\VID_7F3A&PID_0058' | tr -d '\r')
e2e_expect_eq "plain run: INF packages and nodes left" "$left" "$(printf '%s\n' 'inf oem20.inf' 'inf oem21.inf' \
    'inf oem22.inf' 'inf oem23.inf')"
cmp -s "$(e2e_unix_path 'C:\windows\inf\oem33.inf')" "$(e2e_unix_path 'C:\windows\inf\wineusb.inf')" &&
    e2e_pass "plain run: another maker's oem33.inf kept" || e2e_fail "plain run: oem33.inf changed or gone"
e2e_run '' "$E2E_WORK/after-plain" /check
e2e_expect_eq "after the plain run: exit code" "$E2E_RC" 1
e2e_lines expected "Driver package without device: oem20.inf" "Driver package without device: oem21.inf" \
    "Shared driver package kept: oem22.inf" "NRV-CHECK: FOUND products=0 mark=0 nodes=0 packages=2"
e2e_expect_bytes "after the plain run: console" "$E2E_CONSOLE" "$E2E_BANNER$expected"
e2e_finish
