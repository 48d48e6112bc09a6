#!/bin/bash
# arch: x64 x86
# Scanner device nodes under several of the hardware ids (attached or
# not, of two setup classes, two sharing one INF, one without an INF, one
# without a version) and their INF files: every node under the ids is
# removed and reported, each gathered INF leaves the INF folder in the set's
# order. A node of another vendor, a scanner node under an id not in the
# table, and their OEM INFs survive; so does the INF of Windows itself
# (usbscan.inf) that one scanner node was installed from. A composite scanner
# (parent on Wine's wineusb.inf, functions on oem50.inf): /check lists them; the
# plain run and /quiet (CLEAN, 0) remove them and oem50.inf, keep wineusb.inf.
#
# Under qemu the 32-bit program on 32-bit Windows runs without Wine's
# services (see emulation/x86.sh), so the class installer cannot reach the
# plug-and-play service: each node's removal fails with 1722 and the node
# stays, the run goes on, and everything else is the same.
source "$NRV_E2E_DIR/lib.sh"
source "$NRV_E2E_DIR/expected_clean_machine.sh"

fixture=$NRV_FIXTURES/devices_fixture.exe
image='{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}'
usb='{36FC9E60-C465-11CF-8056-444553540000}'
scanner='USB\VID_7F3A&PID_'

composite=${scanner}0042
# The composite scanner's nodes, and its package listing its functions' ids.
plant_composite() {
    printf '%s\n' '[Version]' 'Signature="$Windows NT$"' '[Manufacturer]' 'N=Models' '[Models]' \
        "S=Install,${composite}&MI_00" "S=Install,${composite}&MI_01" | e2e_stage_inf oem50.inf
    e2e_wine "$fixture" plant "node:${composite}\\NRV0042,$usb,wineusb.inf,1.0" \
        "node:${composite}&MI_00\\NRV0042A,$image,oem50.inf,3.2.0.1" \
        "node:${composite}&MI_01\\NRV0042B,$image,oem50.inf,3.2.0.1" >/dev/null || e2e_fail "planting the composite"
}

plant_composite
set +e
e2e_wine "$fixture" plant \
    "node:${scanner}0031\\NRV0001,$image,oem10.inf,3.2.0.1" \
    "node:${scanner}0031\\NRV0002,$image,oem9.inf," \
    "node:${scanner}0047\\NRV0003,$image,oem9.inf,3.1.0.0" \
    "node:${scanner}8064\\NRV0004,$usb,,1.0.0.7" \
    "node:${scanner}0036\\NRV0005,$image,usbscan.inf,10.0.19041.1" \
    "node:USB\\VID_04A9&PID_0031\\OTHER1,$image,oem3.inf,5.0" \
    "node:${scanner}0099\\NRV0099,$image,oem4.inf,9.9" \
    inf:oem9.inf inf:oem10.inf inf:oem3.inf inf:oem4.inf inf:usbscan.inf
plant_rc=$?
set -e
e2e_expect_eq "fixture planted the machine" "$plant_rc" 0

# Prints the nodes under the scanner ids, the composite's functions and the
# two others, and which of the INF files exist.
what_exists() {
    local args=() id
    for id in "${E2E_HARDWARE_IDS[@]}" "${composite}&MI_00" "${composite}&MI_01" "${scanner}0099"; do
        args+=("nodes:$id")
    done
    args+=('nodes:USB\VID_04A9&PID_0031' inf:oem9.inf inf:oem10.inf inf:oem3.inf inf:oem4.inf
        inf:usbscan.inf inf:oem50.inf inf:wineusb.inf)
    e2e_wine "$fixture" report "${args[@]}" | tr -d '\r'
}
survivors=$(printf '%s\n' "node ${scanner}0099\\NRV0099" 'node USB\VID_04A9&PID_0031\OTHER1' \
    'inf oem3.inf' 'inf oem4.inf' 'inf usbscan.inf' 'inf wineusb.inf')
removed="Device node has removed successfully"
if [[ -n ${E2E_NO_SERVICES-} ]]; then
    removed="Can't remove device node. Error: 1722"
    survivors=$(printf '%s\n' "node ${scanner}0031\\NRV0001" "node ${scanner}0031\\NRV0002" \
        "node ${scanner}0036\\NRV0005" "node ${composite}\\NRV0042" "node ${scanner}0047\\NRV0003" \
        "node ${scanner}8064\\NRV0004" "node ${composite}&MI_00\\NRV0042A" "node ${composite}&MI_01\\NRV0042B" "$survivors")
fi
e2e_expect_eq "planted nodes and INFs exist" "$(what_exists)" "$(printf '%s\n' \
    "node ${scanner}0031\\NRV0001" "node ${scanner}0031\\NRV0002" "node ${scanner}0036\\NRV0005" \
    "node ${composite}\\NRV0042" "node ${scanner}0047\\NRV0003" "node ${scanner}8064\\NRV0004" \
    "node ${composite}&MI_00\\NRV0042A" "node ${composite}&MI_01\\NRV0042B" "node ${scanner}0099\\NRV0099" \
    'node USB\VID_04A9&PID_0031\OTHER1' 'inf oem9.inf' 'inf oem10.inf' 'inf oem3.inf' 'inf oem4.inf' \
    'inf usbscan.inf' 'inf oem50.inf' 'inf wineusb.inf')"

e2e_run '' "$E2E_WORK/check" /check
e2e_expect_eq "/check lists the composite's functions" "$(tr -d '\r' <"$E2E_CONSOLE" | grep -F '&MI_0')" "$(printf '%s\n' \
    "Device node: ${composite}&MI_00\\NRV0042A, attached: yes, inf: oem50.inf, version: 3.2.0.1" \
    "Device node: ${composite}&MI_01\\NRV0042B, attached: yes, inf: oem50.inf, version: 3.2.0.1")"

dir=$E2E_WORK/run
e2e_run 'y\n' "$dir"
e2e_expect_eq "exit code" "$E2E_RC" 0

# The run's numbers for each node (DevInst) are Wine's: the first free slot of
# a table in the process, freed when the set is destroyed, so each set counts
# from 0 in enumeration order (the instance ids sorted).
check() { printf '%s\n' "" "Check device with HardwareId: $1"; }
member() { printf '%s\n' "" "Find device with class: $1 Instance: $2" "Device instance id: $3"; }
declare -A nodes
nodes[${scanner}0031]=$(
    member "$image" 0 "${scanner}0031\\NRV0001"
    printf '%s\n' "Device inf file path: oem10.inf" "Device driver version: 3.2.0.1" "$removed"
    member "$image" 1 "${scanner}0031\\NRV0002"
    printf '%s\n' "Device inf file path: oem9.inf" "$removed"
)
nodes[${scanner}0036]=$(
    member "$image" 0 "${scanner}0036\\NRV0005"
    printf '%s\n' "Device inf file path: usbscan.inf" "Device driver version: 10.0.19041.1" "$removed"
)
nodes[${composite}]=$(
    member "$usb" 0 "${composite}\\NRV0042"
    printf '%s\n' "Device inf file path: wineusb.inf" "Device driver version: 1.0" "$removed"
    member "$image" 1 "${composite}&MI_00\\NRV0042A"
    printf '%s\n' "Device inf file path: oem50.inf" "Device driver version: 3.2.0.1" "$removed"
    member "$image" 2 "${composite}&MI_01\\NRV0042B"
    printf '%s\n' "Device inf file path: oem50.inf" "Device driver version: 3.2.0.1" "$removed"
)
nodes[${scanner}0047]=$(
    member "$image" 0 "${scanner}0047\\NRV0003"
    printf '%s\n' "Device inf file path: oem9.inf" "Device driver version: 3.1.0.0" "$removed"
)
nodes[${scanner}8064]=$(
    member "$usb" 0 "${scanner}8064\\NRV0004"
    printf '%s\n' "Can't get device inf file path. Error: 1168" "Device driver version: 1.0.0.7" "$removed"
)
report=$(
    for id in "${E2E_HARDWARE_IDS[@]}"; do
        check "$id"
        if [[ -n ${nodes[$id]-} ]]; then printf '%s\n' "${nodes[$id]}"; fi
    done
    printf '%s\n' "Remove driver package for inf file: oem10.inf" \
        "Device inf file has removed successfully" \
        "Remove driver package for inf file: oem50.inf" "Device inf file has removed successfully" \
        "Remove driver package for inf file: oem9.inf" "Device inf file has removed successfully" \
        "Windows driver package kept: usbscan.inf" "Windows driver package kept: wineusb.inf"
)
mapfile -t report_lines <<<"$report"
e2e_lines devices "${report_lines[@]}"
expected=$E2E_CLEAN_PRODUCTS$E2E_CLEAN_REGISTRY$devices
e2e_expect_bytes "run log" "$(e2e_run_log "$dir")" "$E2E_BANNER$expected"
e2e_expect_bytes "console" "$E2E_CONSOLE" "$E2E_BANNER$E2E_DIALOGUE$expected$E2E_PAUSE"
e2e_expect_eq "only the collateral is left${E2E_NO_SERVICES:+, and the nodes}" "$(what_exists)" "$survivors"
# /quiet on the composite planted again removes it and oem50.inf, ending CLEAN.
if [[ -z ${E2E_NO_SERVICES-} ]]; then
    plant_composite
    e2e_run '' "$E2E_WORK/quiet" /quiet
    e2e_expect_eq "/quiet exit code" "$E2E_RC" 0
    e2e_expect_eq "/quiet ends CLEAN" "$(tr -d '\r' <"$E2E_CONSOLE" | tail -n 1)" "NRV-CHECK: CLEAN"
    e2e_expect_eq "/quiet removed the composite scanner and oem50.inf" "$(what_exists)" "$survivors"
fi
e2e_finish
