#!/bin/bash
# arch: x64 x86
# Consent on a machine without anything of the scanner: the passes report
# what they looked at, the run log holds the report, the exit code is 0.
source "$NRV_E2E_DIR/lib.sh"
source "$NRV_E2E_DIR/expected_clean_machine.sh"

answers=('y\n' ' Y\n' 'yes\n')
for i in "${!answers[@]}"; do
    dir=$E2E_WORK/run$i
    e2e_run "${answers[$i]}" "$dir"
    e2e_expect_eq "answer '${answers[$i]}': exit code" "$E2E_RC" 0
    e2e_expect_bytes "answer '${answers[$i]}': console" "$E2E_CONSOLE" \
        "$E2E_BANNER$E2E_DIALOGUE$E2E_CLEAN_REPORT$E2E_PAUSE"
    log=$(e2e_run_log "$dir")
    e2e_expect_bytes "answer '${answers[$i]}': run log" "$log" "$E2E_BANNER$E2E_CLEAN_REPORT"
    e2e_expect_eq "answer '${answers[$i]}': files left" "$(e2e_files "$dir")" \
        "$(basename "$log")${E2E_CLEAN_FILES:+$'\n'$E2E_CLEAN_FILES}"
done
e2e_finish
