#!/bin/bash
# arch: x64 x86 wow64
# needs: msibuild services
# deploy/install.cmd as deployment tools run it: "cmd /c" on the script in a
# staging folder whose path holds a space, both programs beside it, and its
# whole exit code as a batch around it sees it (wow64: the script run by a
# 32-bit cmd on 64-bit Windows, as Intune runs it, picks the 64-bit program):
#  - install.cmd /check on the demo machine: 0, the program staged and
#    registered as the event source's message file, nothing removed, the
#    verdict in check.txt in the log folder;
#  - the demo machine with staged driver packages: 0; the program for this
#    Windows is in Program Files\NrvDriverCleanup, the run log in
#    C:\windows\Logs\NrvDriverCleanup has NRV-CHECK: CLEAN before its exit
#    code, the
#    node-less scanner packages are gone, the shared and the other maker's
#    packages and the other maker's product stay;
#  - a product whose removal needs a restart: 3010; run again: 0;
#  - a product that cannot be removed: 1603; with its original in a folder
#    "packages" beside install.cmd: 0;
#  - a kit folder holding "&" and "(x86)", run as cmd /c ""...\install.cmd"":
#    a program missing beside it is named with the folder quoted (2); with
#    the installed program running (a detection), it is moved aside and
#    replaced: 0;
#  - uninstall.cmd, twice: 0, no program folder, no event source, the logs kept;
#  - Windows on ARM (50, its line in install.log too), a log folder it cannot
#    make (3): one line, no run.
source "$NRV_E2E_DIR/lib.sh"

packages=$NRV_E2E_BUILD/products
[[ -f $packages/plain.msi ]] || { echo "missing packages in $packages (build the host preset)"; exit 1; }
kit='C:\Deploy kit'
mkdir -p "$(e2e_unix_path "$kit")"
cp "$NRV_E2E_DIR/../../deploy/install.cmd" "$NRV_E2E_DIR/../../deploy/uninstall.cmd" "$NRV_EXE64" "$NRV_EXE32" \
    "$(e2e_unix_path "$kit")/"
program=NrvDriverCleanupx64.exe
if [[ $E2E_WINDOWS == win32 ]]; then program=NrvDriverCleanupx86.exe; fi
logs=$(e2e_unix_path 'C:\windows\logs')/NrvDriverCleanup

# run_install [COMMAND [ARGUMENT]]: runs COMMAND, then cmd /c ARGUMENT (by
# default "<kit>\install.cmd"), in a batch that prints install.cmd's exit
# code (the shell sees only its low byte) and ends with 0; sets EXIT and
# OUTPUT (install.cmd's lines before the program's banner).
run_install() {
    printf '@echo off\r\n%s\r\ncmd /c %s\r\necho EXIT=%%ERRORLEVEL%%\r\nexit /b 0\r\n' \
        "${1:-rem}" "${2:-\"$kit\\install.cmd\"}" >"$(e2e_unix_path 'C:\run.cmd')"
    (cd "$E2E_WORK" && e2e_wine cmd /c 'C:\run.cmd' | tr -d '\r' >"$E2E_WORK/install.txt") || true
    e2e_wait
    EXIT=$(sed -n 's/^EXIT=//p' "$E2E_WORK/install.txt")
    OUTPUT=$(sed '/^Nerovan Driver Cleanup utility/,$d' "$E2E_WORK/install.txt")
}
# The newest run log's verdict, the line before its exit code.
last_verdict() { tail -n 2 "$(ls -t "$logs"/nrvDrvCln-*.txt | head -n 1)" | head -n 1 | tr -d '\r'; }
source_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\NrvDriverCleanup'
message_file() { { e2e_reg query "$source_key" /v EventMessageFile || true; } | tr -d '\r' |
    sed -n 's/^ *EventMessageFile *REG_EXPAND_SZ *//p'; }
run_logs() { find "$logs" -maxdepth 1 -name 'nrvDrvCln-*.txt' | wc -l; }

e2e_plant_demo
e2e_stage_driver_packages
e2e_wait

# Inventory first: staged and registered, nothing removed, the verdict kept.
e2e_snapshot >"$E2E_WORK/before.txt"
run_install rem "\"\"$kit\\install.cmd\" /check\""
e2e_expect_eq "/check: exit code and output" "$(cat "$E2E_WORK/install.txt")" "EXIT=0"
e2e_expect_unchanged "/check: nothing removed" "$E2E_WORK/before.txt"
e2e_expect_eq "/check: the verdict in check.txt, no run log" "$(tail -n 1 "$logs/check.txt" | tr -d '\r') $(run_logs)" \
    "NRV-CHECK: FOUND products=4 mark=1 nodes=3 packages=4 0"
e2e_expect_eq "/check: the event source's message file" "$(message_file)" "C:\\Program Files\\NrvDriverCleanup\\$program"
cmp -s "$(e2e_unix_path "C:\\Program Files\\NrvDriverCleanup\\$program")" "$(e2e_unix_path "$kit\\$program")" ||
    e2e_fail "/check: $program not staged"

run_install
e2e_expect_eq "demo machine: exit code" "$EXIT" 0
e2e_expect_eq "demo machine: install.cmd's own output" "$OUTPUT" ""
if cmp -s "$(e2e_unix_path "C:\\Program Files\\NrvDriverCleanup\\$program")" \
    "$(e2e_unix_path "$kit\\$program")"; then
    e2e_pass "demo machine: $program in Program Files\\NrvDriverCleanup"
else
    e2e_fail "demo machine: $program is not in Program Files\\NrvDriverCleanup"
fi
e2e_expect_eq "demo machine: files in Program Files\\NrvDriverCleanup" \
    "$(e2e_files "$(e2e_unix_path 'C:\Program Files\NrvDriverCleanup')")" "$program"
e2e_expect_eq "demo machine: the run log's verdict" "$(last_verdict)" "NRV-CHECK: CLEAN"
left=$(e2e_wine "$NRV_FIXTURES/devices_fixture.exe" report inf:oem9.inf inf:oem10.inf inf:oem20.inf \
    inf:oem21.inf inf:oem22.inf inf:oem23.inf | tr -d '\r')
e2e_expect_eq "demo machine: INF packages left" "$left" "$(printf '%s\n' 'inf oem22.inf' 'inf oem23.inf')"
products=$(e2e_wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:32 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *DisplayName *REG_SZ *//p' | LC_ALL=C sort)
e2e_expect_eq "demo machine: installed products: only the other maker's" "$products" "Other Camera Driver"

# A product whose package schedules a restart when it is removed: 3010
# reaches the caller; run again on the cleaned machine: 0.
cp "$packages/plain.msi" "$E2E_WORK/restart.msi"
msibuild "$E2E_WORK/restart.msi" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('ScheduleReboot', 'REMOVE=\"ALL\"', 6590)"
e2e_wine msiexec /i "Z:${E2E_WORK//\//\\}\\restart.msi" /qn || e2e_fail "installing restart.msi failed"
e2e_wait
run_install
e2e_expect_eq "restart: exit code" "$EXIT" 3010
e2e_expect_eq "restart: the run log's last line" "$(last_verdict)" "NRV-CHECK: CLEAN"
run_install
e2e_expect_eq "run again: exit code" "$EXIT" 0

# A kit folder holding "&" and "(x86)": cmd /c ""...\install.cmd"" (the "^&"
# only for the batch around it; a tool hands cmd the line as it is). The
# installed program differs from the kit's and runs at its prompt (as a
# detection would run it) while install.cmd replaces it; it then declines.
kit2='C:\Kit & tools (x86)'
mkdir -p "$(e2e_unix_path "$kit2")"
cp "$NRV_E2E_DIR/../../deploy/install.cmd" "$(e2e_unix_path "$kit2")/"
run_install rem "\"\"${kit2//&/^&}\\install.cmd\"\""
e2e_expect_eq "kit folder with &: no program: output" "$OUTPUT" \
    "$(printf '%s\n' "install.cmd: $program is not beside install.cmd in \"$kit2\\\"" "EXIT=2")"
cp "$NRV_EXE64" "$NRV_EXE32" "$(e2e_unix_path "$kit2")/"
installed=$(e2e_unix_path "C:\\Program Files\\NrvDriverCleanup\\$program")
printf 'x' >>"$installed"
rm -f "$E2E_WORK/install.txt"
(until grep -qs '^EXIT=' "$E2E_WORK/install.txt"; do sleep 0.2; done; echo n) |
    (cd "$E2E_WORK" && e2e_wine "$installed" >"$E2E_WORK/held.txt" 2>/dev/null) &
for _ in $(seq 300); do grep -qs 'Nerovan Driver Cleanup utility' "$E2E_WORK/held.txt" && break; sleep 0.2; done
run_install rem "\"\"${kit2//&/^&}\\install.cmd\"\""
wait
e2e_expect_eq "kit folder with &, program running: exit code" "$EXIT" 0
if cmp -s "$installed" "$(e2e_unix_path "$kit2\\$program")"; then
    e2e_pass "kit folder with &, program running: $program replaced"
else
    e2e_fail "kit folder with &, program running: $program not replaced"
fi

# A product whose cached package is missing cannot be removed: 1603.
e2e_wine msiexec /i "Z:${packages//\//\\}\\plain.msi" /qn || e2e_fail "installing plain.msi failed"
e2e_wait
rm -f "$(e2e_unix_path 'C:\windows\Installer')"/*.msi
run_install
e2e_expect_eq "product left: exit code" "$EXIT" 1603
e2e_expect_eq "product left: the run log's last line" "$(last_verdict)" \
    "NRV-CHECK: FOUND products=1 mark=0 nodes=0 packages=0"
# Its original in a folder "packages" beside install.cmd: removed, 0. First
# /check, given the folder quoted and ending in a backslash, as %~dp0 gives it.
mkdir -p "$(e2e_unix_path "$kit")/packages"
cp "$packages/plain.msi" "$(e2e_unix_path "$kit")/packages/scanner tools.msi"
run_install rem "\"\"$kit\\$program\" \"/packages:$kit\\packages\\\" /check\""
e2e_expect_eq "packages folder, /check: exit code and original" "$EXIT $(grep -cxF "Original package: $kit\\packages\\scanner tools.msi" "$E2E_WORK/install.txt")" "1 1"
run_install
e2e_expect_eq "packages folder: exit code" "$EXIT" 0
e2e_expect_eq "packages folder: the run log's last line" "$(last_verdict)" "NRV-CHECK: CLEAN"

# The uninstall, twice: nothing of the kit left, the logs kept.
runs=$(run_logs)
for round in 1 2; do
    run_install rem "\"\"$kit\\uninstall.cmd\"\""
    e2e_expect_eq "uninstall $round: output, program folder, event source" "$(cat "$E2E_WORK/install.txt");$(
        ls "$(e2e_unix_path 'C:\Program Files')" | grep -c NrvDriverCleanup);$(message_file)" "EXIT=0;0;"
done
e2e_expect_eq "uninstall: run logs kept" "$(run_logs)" "$runs"

# Its own failures: one line, an exit code each, the program not run.
run_install 'set PROCESSOR_ARCHITEW6432=ARM64'
e2e_expect_eq "Windows on ARM: exit code" "$EXIT" 50
e2e_expect_eq "Windows on ARM: output" "$(cat "$E2E_WORK/install.txt")" \
    "$(printf '%s\n' "install.cmd: Windows on ARM is not supported; nothing was run." "EXIT=50")"
e2e_expect_eq "Windows on ARM: its line in install.log" "$(tail -n 1 "$logs/install.log" | tr -d '\r' |
    sed 's/.* install\.cmd: /install.cmd: /')" "install.cmd: Windows on ARM is not supported; nothing was run."
e2e_expect_eq "Windows on ARM: run logs" "$(run_logs)" "$runs"
rm -rf "$logs"
touch "$logs"
run_install
e2e_expect_eq "log folder it cannot make: exit code" "$EXIT" 3
e2e_expect_eq "log folder it cannot make: output" "$(cat "$E2E_WORK/install.txt")" \
    "$(printf '%s\n' 'install.cmd: cannot make the log folder "C:\windows\Logs\NrvDriverCleanup"' "EXIT=3")"
e2e_finish
