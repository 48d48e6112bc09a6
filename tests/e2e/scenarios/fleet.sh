#!/bin/bash
# arch: x64 x86
# Run as a fleet tool runs it: the answer comes from a file, and the outcome
# is read from the exit code and the run log, as deploy/README.md ("The plain
# run with an answer") tells administrators to read it.
source "$NRV_E2E_DIR/lib.sh"
source "$NRV_E2E_DIR/expected_clean_machine.sh"

# run_with_file ANSWER_BYTES DIR: e2e_run with the answer (printf format)
# read from a file.
run_with_file() {
    printf "$1" >"$E2E_WORK/answer.txt"
    e2e_run_stdin "$2" <"$E2E_WORK/answer.txt"
}
failed_steps() { grep -c "^Can't" "$1" || true; }

# A plain answer file with Windows line ends consents; the run goes to its end.
run_with_file 'y\r\n' "$E2E_WORK/crlf"
e2e_expect_eq "CR LF answer file: exit code" "$E2E_RC" 0
e2e_expect_bytes "CR LF answer file: console" "$E2E_CONSOLE" "$E2E_BANNER$E2E_DIALOGUE$E2E_CLEAN_REPORT$E2E_PAUSE"
log=$(e2e_run_log "$E2E_WORK/crlf")
e2e_expect_bytes "CR LF answer file: run log" "$log" "$E2E_BANNER$E2E_CLEAN_REPORT"
e2e_expect_eq "CR LF answer file: no failing step" "$(failed_steps "$log")" 0

# An answer file with a byte-order mark (UTF-8, or UTF-16 as PowerShell 5's
# '>' writes it) declines: exit code 0 and no run log.
answers=('\xef\xbb\xbfy\r\n' '\xff\xfey\0\r\0\n\0')
for i in "${!answers[@]}"; do
    run_with_file "${answers[$i]}" "$E2E_WORK/bom$i"
    e2e_expect_eq "answer file '${answers[$i]}': exit code" "$E2E_RC" 0
    e2e_expect_bytes "answer file '${answers[$i]}': console" "$E2E_CONSOLE" "$E2E_BANNER$E2E_DIALOGUE"
    e2e_expect_eq "answer file '${answers[$i]}': files left" "$(e2e_files "$E2E_WORK/bom$i")" ""
done

# A product whose cached package was deleted stays installed, the exit code
# is still 0, and the run log names the failing step with its error code.
PLAIN='{3A7E05D2-4C4C-4C38-8F2D-0000000000C3}'
packages=$NRV_E2E_BUILD/products
installer_dir=$(e2e_unix_path 'C:\windows\Installer')
e2e_wine msiexec /i "Z:${packages//\//\\}\\plain.msi" /qn || e2e_fail "installing plain.msi failed"
e2e_wait
rm -f "$installer_dir"/*.msi
run_with_file 'y\r\n' "$E2E_WORK/nocache"
e2e_expect_eq "missing cached package: exit code" "$E2E_RC" 0
log=$(e2e_run_log "$E2E_WORK/nocache")
e2e_expect_eq "missing cached package: failing steps" "$(grep "^Can't" "$log" | tr -d '\r' | sed 's/[0-9]*$/N/')" \
    "Can't open package installer data base. Error: N
Can't remove driver product package. Error: N"
grep -qxF "Found driver product package: $PLAIN"$'\r' "$log" && e2e_pass "missing cached package: product named" \
    || e2e_fail "missing cached package: the product is not named in the run log"
grep -qiF "\\\\Uninstall\\\\$PLAIN]" "$WINEPREFIX/system.reg" && e2e_pass "missing cached package: product still installed" \
    || e2e_fail "missing cached package: product was removed"
e2e_finish
