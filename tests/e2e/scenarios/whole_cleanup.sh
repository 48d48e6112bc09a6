#!/bin/bash
# arch: x64 x86
# needs: msibuild services
# The whole cleanup on the demo machine (driver products, device nodes and
# their INF packages, the registry mark, the setup logs) with unrelated items
# beside them: the complete run log matches the transcript, every scanner
# trace is gone, every unrelated item is intact, and the installer logs and
# setup-log copies lie beside the run log.
source "$NRV_E2E_DIR/lib.sh"
source "$NRV_E2E_DIR/expected_clean_machine.sh"

e2e_plant_demo

# Unrelated items the cleanup must leave: another vendor's node, a scanner
# node under a product id not in the table, their INF packages, and, on
# 64-bit Windows, a DriverName value in the 64-bit view of the registry.
fixture=$NRV_FIXTURES/devices_fixture.exe
image='{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}'
e2e_wine "$fixture" plant "node:USB\\VID_04A9&PID_0031\\OTHER1,$image,oem3.inf,5.0" \
    "node:USB\\VID_7F3A&PID_0099\\NRV0099,$image,oem4.inf,9.9" inf:oem3.inf inf:oem4.inf >/dev/null \
    || e2e_fail "planting the unrelated nodes"
if [[ $E2E_WINDOWS == win64 ]]; then
    e2e_wine reg add 'HKLM\Software\NerovanDrv' /v DriverName /d keep64 /reg:64 /f >/dev/null
fi

dir=$E2E_WORK/run
mkdir -p "$dir"
printf 'stale copy\r\n' >"$dir/setupapiXP.log"
e2e_run 'y\n' "$dir"
e2e_expect_eq "exit code" "$E2E_RC" 0

# The transcript. "@CACHED@" stands for the name the installer gave a cached
# package (C:\windows\Installer\<hex>.msi).
transcript=(
    "Nerovan Driver Cleanup utility v.$NRV_VERSION" ""
    "" "Check product upgrade code: {6B1D2E40-3C8F-4a7e-91D5-2E7A4C0B93F1}"
    "Found driver product package: {6B1D2E40-1A11-4A7E-91D5-000000000A01}"
    "Driver installer data base has open successfully."
    "Driver installer data base has changed successfully."
    "Driver product package cache path: @CACHED@"
    "Driver product package has remove successfully"
    "Found driver product package: {6B1D2E40-1A11-4A7E-91D5-000000000B02}"
    "Driver installer data base has open successfully."
    "Driver installer data base has changed successfully."
    "Driver product package cache path: @CACHED@"
    "Driver product package has remove successfully"
    "" "Check product upgrade code: {5E93A1C7-0D42-4b6f-A2E8-7C19D3F5046B}"
    "Found driver product package: {5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}"
    "Driver installer data base has open successfully."
    "Invalid condition description string: This driver can't be installed on this version of Windows."
    "Driver installer data base has changed successfully."
    "Driver product package cache path: @CACHED@"
    "Driver product package has remove successfully"
    "" "Check product upgrade code: {8C2F6A19-47B3-4705-B1A6-93D0E7254C8A}"
    "" "Check product upgrade code: {3A7E05D2-9B61-4c38-8F2D-A64E1B07C59E}"
    "Found driver product package: {3A7E05D2-4C4C-4C38-8F2D-0000000000C3}"
    "Driver installer data base has open successfully."
    "Driver product package cache path: @CACHED@"
    "Driver product package has remove successfully"
    "" "Check registry entries"
    "Registry mark found"
    "Driver mark has removes successfully"
)
# The device pass: every hardware id of the table, the demo's nodes under two.
for id in "${E2E_HARDWARE_IDS[@]}"; do
    transcript+=("" "Check device with HardwareId: $id")
    case $id in
    'USB\VID_7F3A&PID_0031') transcript+=(
        "" "Find device with class: $image Instance: 0"
        "Device instance id: USB\\VID_7F3A&PID_0031\\NRV1A2B3C"
        "Device inf file path: oem10.inf"
        "Device driver version: 3.2.0.1"
        "Device node has removed successfully"
        "" "Find device with class: $image Instance: 1"
        "Device instance id: USB\\VID_7F3A&PID_0031\\NRV4D5E6F"
        "Device inf file path: oem10.inf"
        "Device driver version: 3.2.0.1"
        "Device node has removed successfully") ;;
    'USB\VID_7F3A&PID_8064') transcript+=(
        "" "Find device with class: $image Instance: 0"
        "Device instance id: USB\\VID_7F3A&PID_8064\\NRV778899"
        "Device inf file path: oem9.inf"
        "Device node has removed successfully") ;;
    esac
done
transcript+=(
    "Remove driver package for inf file: oem10.inf"
    "Device inf file has removed successfully"
    "Remove driver package for inf file: oem9.inf"
    "Device inf file has removed successfully"
)
log=$(e2e_run_log "$dir")
if [[ $(grep -c $'\r$' "$log") -ne $(wc -l <"$log") ]]; then e2e_fail "a run-log line does not end in CR LF"; fi
mapfile -t actual < <(tr -d '\r' <"$log")
if ((${#actual[@]} != ${#transcript[@]})); then
    e2e_fail "run log has ${#actual[@]} lines, the transcript ${#transcript[@]}"
fi
mismatches=0
for i in "${!transcript[@]}"; do
    want=${transcript[$i]} got=${actual[$i]-<missing>}
    if [[ $want == *@CACHED@ ]]; then
        [[ $got =~ ^"${want%@CACHED@}"'C:\windows\Installer\'[0-9a-f]+\.msi$ ]] && continue
    elif [[ $got == "$want" ]]; then
        continue
    fi
    e2e_fail "run log line $((i + 1)): got '$got', expected '$want'"
    mismatches=$((mismatches + 1))
done
((mismatches == 0)) && e2e_pass "run log matches the transcript line by line"

console=$(tr -d '\r' <"$E2E_CONSOLE")
expected_console=$(printf '%s\n' "${actual[@]:0:2}" \
    "NOTE: Make sure that you connect Nerovan scanner to computer at least once." "" \
    "PLEASE DETACH ANY NEROVAN DEVICE BEFORE CONTINUE!")$'\n'"Do you want to continue [y/N]? "$(
    printf '%s\n' "${actual[@]:2}" "Press any key to continue")
e2e_expect_eq "console: the dialogue and the same report" "$console" "$expected_console"

# What is left on the machine.
"$NRV_WINESERVER" -w
products=$(e2e_wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:32 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *DisplayName *REG_SZ *//p' | LC_ALL=C sort)
e2e_expect_eq "installed products: only the other maker's" "$products" "Other Camera Driver"

args=()
for id in "${E2E_HARDWARE_IDS[@]}" 'USB\VID_7F3A&PID_0099'; do args+=("nodes:$id"); done
left=$(e2e_wine "$fixture" report "${args[@]}" 'nodes:USB\VID_04A9&PID_0031' \
    inf:oem9.inf inf:oem10.inf inf:oem3.inf inf:oem4.inf | tr -d '\r')
e2e_expect_eq "device nodes and INF packages left: only the unrelated ones" "$left" "$(printf '%s\n' \
    'node USB\VID_7F3A&PID_0099\NRV0099' 'node USB\VID_04A9&PID_0031\OTHER1' 'inf oem3.inf' 'inf oem4.inf')"

reg32=$(e2e_wine reg query 'HKLM\Software\NerovanDrv' /reg:32 2>/dev/null | tr -d '\r' | grep REG_ | awk '{print $1}')
e2e_expect_eq "registry (32-bit view): the other value kept" "$reg32" "InstallDir"
if [[ $E2E_WINDOWS == win64 ]]; then
    reg64=$(e2e_wine reg query 'HKLM\Software\NerovanDrv' /v DriverName /reg:64 2>/dev/null | tr -d '\r' | grep -c keep64)
    e2e_expect_eq "registry (64-bit view): DriverName untouched" "$reg64" 1
fi

e2e_expect_eq "files beside the run log" "$(e2e_files "$dir")" "$(e2e_demo_files "$log")"
e2e_expect_eq "setupapiXP.log is the fresh copy of setupapi.log" \
    "$(cmp -s "$dir/setupapiXP.log" "$(e2e_unix_path 'C:\windows\setupapi.log')" && echo same)" same
for code in '{5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}' '{3A7E05D2-4C4C-4C38-8F2D-0000000000C3}'; do
    e2e_expect_eq "installer log of $code is its own" \
        "$(tr -d '\0' <"$dir/${code}_uinstall.log" | grep -ci "$code" | awk '{print ($1 > 0)}')" 1
done
e2e_finish
