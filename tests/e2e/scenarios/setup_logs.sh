#!/bin/bash
# arch: x64 x86
# The setup logs land in the working directory (not the program's folder),
# replacing older copies; setupapi.log arrives as setupapiXP.log; a missing
# DPInst.log is skipped; the run says nothing about any of them. Nothing is
# written through a link planted under a copy's name: a second hard link of
# a file is replaced by a new file; a dangling symbolic link stays and no copy
# is made (Wine's DeleteFileW follows a symbolic link, so it cannot remove
# one; Windows removes the link itself: the unit tests cover that).
source "$NRV_E2E_DIR/lib.sh"
source "$NRV_E2E_DIR/expected_clean_machine.sh"

windows=$(e2e_unix_path 'C:\windows')
rm -f "$windows/DPInst.log"
printf 'dev log\r\n' >"$windows/inf/setupapi.dev.log"
printf 'setup log\r\n' >"$windows/inf/setupapi.setup.log"
printf 'xp log\r\n' >"$windows/setupapi.log"

dir=$E2E_WORK/run
mkdir -p "$dir"
outside=$E2E_WORK/outside
mkdir -p "$outside"
printf 'not for the program to write, longer than a copy\r\n' >"$outside/hard"
ln -s "$outside/dangling" "$dir/setupapi.dev.log"
ln "$outside/hard" "$dir/setupapi.setup.log"
printf 'an older copy, longer than the fresh one\r\n' >"$dir/setupapiXP.log"

e2e_run 'y\n' "$dir"
e2e_expect_eq "exit code" "$E2E_RC" 0
e2e_expect_bytes "console" "$E2E_CONSOLE" "$E2E_BANNER$E2E_DIALOGUE$E2E_CLEAN_REPORT$E2E_PAUSE"
log=$(e2e_run_log "$dir")
e2e_expect_bytes "run log" "$log" "$E2E_BANNER$E2E_CLEAN_REPORT"
e2e_expect_eq "files left" "$(e2e_files "$dir")" \
    "$(printf '%s\n' "$(basename "$log")" setupapi.dev.log setupapi.setup.log setupapiXP.log | LC_ALL=C sort)"
e2e_expect_eq "dangling link left, its target not made" "$(readlink "$dir/setupapi.dev.log") $(ls "$outside")" \
    "$outside/dangling hard"
e2e_expect_bytes "hard-linked file untouched" "$outside/hard" $'not for the program to write, longer than a copy\r\n'
e2e_expect_bytes "setupapi.setup.log copied" "$dir/setupapi.setup.log" $'setup log\r\n'
for name in setupapi.setup.log setupapiXP.log; do
    e2e_expect_eq "$name: a regular file of one link" "$(stat -c '%F %h' "$dir/$name")" "regular file 1"
done
e2e_expect_bytes "setupapi.log copied as setupapiXP.log" "$dir/setupapiXP.log" $'xp log\r\n'

# Run in the Windows INF folder, two copies would be their own source: the
# source is held open, so it is neither deleted nor written.
e2e_run 'y\n' "$windows/inf"
e2e_expect_eq "in the INF folder: exit code" "$E2E_RC" 0
e2e_expect_bytes "in the INF folder: setupapi.dev.log kept" "$windows/inf/setupapi.dev.log" $'dev log\r\n'
e2e_expect_bytes "in the INF folder: setupapi.setup.log kept" "$windows/inf/setupapi.setup.log" $'setup log\r\n'
e2e_finish
