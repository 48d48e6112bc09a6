# What a consenting run reports on a machine without anything of the scanner
# (CR LF lines), pass by pass, and the files besides the run log it leaves.
e2e_lines E2E_CLEAN_PRODUCTS
e2e_lines E2E_CLEAN_REGISTRY "" "Check registry entries"
e2e_lines E2E_CLEAN_DEVICES
E2E_CLEAN_REPORT=$E2E_CLEAN_PRODUCTS$E2E_CLEAN_REGISTRY$E2E_CLEAN_DEVICES
# Sorted names, one per line.
E2E_CLEAN_FILES=""
