# What a consenting run reports on a machine without anything of the scanner
# (CR LF lines), pass by pass, from the tables of tests/data/tables.txt, and
# the files besides the run log it leaves.
mapfile -t E2E_UPGRADE_CODES < <(check_table upgrade-code)
mapfile -t E2E_HARDWARE_IDS < <(check_table hardware-id)
E2E_CLEAN_PRODUCTS= E2E_CLEAN_DEVICES=
for _entry in "${E2E_UPGRADE_CODES[@]}"; do E2E_CLEAN_PRODUCTS+=$'\r\n'"Check product upgrade code: $_entry"$'\r\n'; done
for _entry in "${E2E_HARDWARE_IDS[@]}"; do E2E_CLEAN_DEVICES+=$'\r\n'"Check device with HardwareId: $_entry"$'\r\n'; done
unset _entry
e2e_lines E2E_CLEAN_REGISTRY "" "Check registry entries"
E2E_CLEAN_REPORT=$E2E_CLEAN_PRODUCTS$E2E_CLEAN_REGISTRY$E2E_CLEAN_DEVICES
# Sorted names, one per line.
E2E_CLEAN_FILES=""
