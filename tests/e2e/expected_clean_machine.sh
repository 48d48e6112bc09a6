# What a consenting run reports on a machine without anything of the scanner
# (CR LF lines), and the files besides the run log it leaves (sorted).
e2e_lines E2E_CLEAN_REPORT
E2E_CLEAN_FILES=""
