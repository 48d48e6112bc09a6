# What a consenting run reports on a machine without anything of the scanner
# (CR LF lines), pass by pass, and the files besides the run log it leaves.
e2e_lines E2E_CLEAN_PRODUCTS
e2e_lines E2E_CLEAN_REGISTRY "" "Check registry entries"
e2e_lines E2E_CLEAN_DEVICES \
    "" "Check device with HardwareId: USB\\VID_7F3A&PID_0031" \
    "" "Check device with HardwareId: USB\\VID_7F3A&PID_0036" \
    "" "Check device with HardwareId: USB\\VID_7F3A&PID_0042" \
    "" "Check device with HardwareId: USB\\VID_7F3A&PID_0047" \
    "" "Check device with HardwareId: USB\\VID_7F3A&PID_0053" \
    "" "Check device with HardwareId: USB\\VID_7F3A&PID_0058" \
    "" "Check device with HardwareId: USB\\VID_7F3A&PID_0064" \
    "" "Check device with HardwareId: USB\\VID_7F3A&PID_8064"
E2E_CLEAN_REPORT=$E2E_CLEAN_PRODUCTS$E2E_CLEAN_REGISTRY$E2E_CLEAN_DEVICES
# Sorted names, one per line.
E2E_CLEAN_FILES=""
