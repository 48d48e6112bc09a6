#!/bin/bash
# arch: x64 x86
# needs: msibuild services
# /quiet, as a fleet tool runs it, on one machine in turn:
#  - a command line it refuses (exit code 87) touches nothing and writes no file;
#  - on the demo machine with staged driver packages, /quiet /logdir: removes
#    everything of the scanner without asking (a `n` waiting on standard input
#    stays unread), also the scanner-only packages no node names, keeps the
#    shared and the other maker's packages (one of them named by a scanner
#    node), writes every file to the log
#    folder and ends the run log with the inventory: exit code 0; the run log
#    starts with the date, time and command line and ends with the exit code,
#    the console with the verdict, and one event goes to the Application log
#    (Wine's +eventlog trace shows each string ReportEventW is given);
#  - the other maker's package held open sharing nothing by a second process:
#    kept with its line, not CLEAN (1603); once let go: kept, 0, CLEAN;
#  - a product whose package schedules a restart: 3010; its installer log,
#    in a /logdir: reached through a link, is handed over by its real path;
#  - a product whose cached package is missing stays: 1603, unless the
#    folder of /packages: holds its original (another build is refused),
#    restored to C:\windows\Installer (nothing made in C:\windows\temp) and
#    kept there, no longer missing, when the uninstall then fails;
#  - a log folder that does not exist: -1, no file;
#  - the plain run and /check write no event.
# Under Wine the shell sees the low byte: 3010 is 194, 1603 is 67, -1 is 255.
source "$NRV_E2E_DIR/lib.sh"
source "$NRV_E2E_DIR/expected_clean_machine.sh"

packages=$NRV_E2E_BUILD/products
[[ -f $packages/plain.msi ]] || { echo "missing packages in $packages (build the host preset)"; exit 1; }
PLAIN='{3A7E05D2-4C4C-4C38-8F2D-0000000000C3}'
TWIN_A='{6B1D2E40-1A11-4A7E-91D5-000000000A01}'
PATCHED='{5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}'
windows_path() { echo "Z:${1//\//\\}"; }
# The run log's lines without CR, the cached package names as @CACHED@.
log_lines() { tr -d '\r' <"$1" | sed -E 's/C:\\windows\\Installer\\[0-9a-f]+\.msi$/@CACHED@/'; }
# The strings of the events Wine traced in FILE, one a line, and a string as
# the trace writes it (L"...", \ and " escaped).
events() { sed -n 's/^.*:eventlog:ReportEventW //p' "$1" | tr -d '\r'; }
wine_string() { local text=${1//\\/\\\\}; printf 'L"%s"' "${text//\"/\\\"}"; }

e2e_plant_demo
e2e_stage_driver_packages
e2e_plant_other_makers_package
e2e_wait
e2e_snapshot >"$E2E_WORK/before.txt"

# Refused command lines: the usage (the text /? shows) on standard error.
e2e_run '' "$E2E_WORK/help" '/?'
e2e_expect_eq "/?: exit code" "$E2E_RC" 0
usage=$E2E_CONSOLE
grep -q '/quiet' "$usage" || e2e_fail "/? shows no usage"
refused=('/bogus' '/check /quiet' '/quiet /quiet' '/check /logdir:logs' '/quiet stray')
for args in "${refused[@]}"; do
    read -ra argv <<<"$args"
    E2E_STDERR=$E2E_WORK/stderr.txt e2e_run 'y\n' "$E2E_WORK/refused" "${argv[@]}"
    e2e_expect_eq "$args: exit code" "$E2E_RC" 87
    e2e_expect_bytes "$args: nothing on standard output" "$E2E_CONSOLE" ""
    cmp -s "$usage" "$E2E_WORK/stderr.txt" && e2e_pass "$args: the usage on standard error" ||
        e2e_fail "$args: standard error is not the usage: $(head -c 300 "$E2E_WORK/stderr.txt")"
    e2e_expect_eq "$args: files written" "$(e2e_files "$E2E_WORK/refused")" ""
done
e2e_expect_unchanged "refused command lines: machine unchanged" "$E2E_WORK/before.txt"

# The demo machine: everything goes, into the log folder.
logs=$E2E_WORK/logs
mkdir -p "$logs"
printf 'n\n' >"$E2E_WORK/answer.txt"
exec 3<"$E2E_WORK/answer.txt"
E2E_STDERR=$E2E_WORK/trace.txt WINEDEBUG=-all,+eventlog \
    e2e_run_stdin "$E2E_WORK/cwd" /quiet "/logdir:$(windows_path "$logs")" <&3
e2e_expect_eq "demo machine: standard input left unread" "$(sed -n 's/^pos:\s*//p' /proc/$BASHPID/fdinfo/3)" 0
exec 3<&-
e2e_expect_eq "demo machine: exit code" "$E2E_RC" 0
e2e_expect_eq "demo machine: files in the working directory" "$(e2e_files "$E2E_WORK/cwd")" ""
log=$(e2e_run_log "$logs")
e2e_expect_eq "demo machine: files in the log folder" "$(e2e_files "$logs")" "$(e2e_demo_files "$log")"
e2e_expect_eq "demo machine: no failing step" "$(grep -c "^Can't" "$log" || true)" 0
e2e_expect_eq "demo machine: the run log from the driver packages on" \
    "$(log_lines "$log" | sed -n '/^Remove driver package for inf file: oem10.inf$/,$p')" "$(printf '%s\n' \
    "Remove driver package for inf file: oem10.inf" "Device inf file has removed successfully" \
    "Another maker's driver package kept: oem33.inf" \
    "Remove driver package for inf file: oem9.inf" "Device inf file has removed successfully" \
    "Remove driver package for inf file: oem20.inf" "Device inf file has removed successfully" \
    "Remove driver package for inf file: oem21.inf" "Device inf file has removed successfully" \
    "" "Shared driver package kept: oem22.inf" "NRV-CHECK: CLEAN" "Exit code: 0")"
command_line="\"$(windows_path "$E2E_EXE")\" /quiet /logdir:$(windows_path "$logs")"
e2e_expect_eq "demo machine: the run log's first lines" "$(head -n 2 "$log" | tr -d '\r' |
    sed -E 's/^Started: [0-9]{4}-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]$/Started: DATE/')" \
    "$(printf '%s\n' 'Started: DATE' "Command line: $command_line")"
e2e_expect_eq "demo machine: one event: verdict, exit code, command line, run log, inventory" \
    "$(events "$E2E_WORK/trace.txt")" "$(printf '%s\n' 'L"NRV-CHECK: CLEAN"' 'L"0"' "$(wine_string "$command_line")" \
    "$(wine_string "$(windows_path "$logs")\\$(basename "$log")")" 'L"Shared driver package kept: oem22.inf\r\nNRV-CHECK: CLEAN"')"
e2e_lines warnings "NOTE: Make sure that you connect Nerovan scanner to computer at least once." "" \
    "PLEASE DETACH ANY NEROVAN DEVICE BEFORE CONTINUE!"
report=$(tail -n +5 "$log" | head -n -1; printf x)  # the x keeps the last line end
e2e_expect_bytes "demo machine: console: the warnings, no prompt, the run log's report" "$E2E_CONSOLE" \
    "$E2E_BANNER$warnings${report%x}"
left=$(e2e_wine "$NRV_FIXTURES/devices_fixture.exe" report inf:oem9.inf inf:oem10.inf inf:oem20.inf \
    inf:oem21.inf inf:oem22.inf inf:oem23.inf inf:oem24.inf inf:nrvscan.inf nodes:'USB\VID_7F3A&PID_0058' |
    tr -d '\r')
e2e_expect_eq "demo machine: INF packages and nodes left" "$left" "$(printf '%s\n' 'inf oem22.inf' 'inf oem23.inf' \
    'inf oem24.inf' 'inf nrvscan.inf')"
cmp -s "$(e2e_unix_path 'C:\windows\inf\oem33.inf')" "$(e2e_unix_path 'C:\windows\inf\wineusb.inf')" &&
    e2e_pass "demo machine: another maker's oem33.inf kept" || e2e_fail "demo machine: oem33.inf changed or gone"

# The stale scanner node of oem33.inf again, while a second process holds the
# INF open sharing nothing: no removal is tried, the line says why it is kept,
# not CLEAN (1603). The holder lets go when the run log ends (or after 200 s,
# so that the run's wait for the prefix cannot hang); then kept, 0, CLEAN.
e2e_plant_other_makers_package
e2e_wait
held=$E2E_WORK/held
mkdir -p "$held"
e2e_wine "$NRV_FIXTURES/devices_fixture.exe" hold 'C:\windows\inf\oem33.inf' "$(windows_path "$held/ready")" \
    "$(windows_path "$E2E_WORK/release")" &
(for ((i = 0; i < 1000; i++)); do grep -qs '^Exit code: ' "$held"/nrvDrvCln-*.txt && break; sleep 0.2; done
    touch "$E2E_WORK/release") &
for ((i = 0; i < 300; i++)); do [[ -e $held/ready ]] && break; sleep 0.2; done
[[ -e $held/ready ]] || e2e_fail "held oem33.inf: the holder did not start"
e2e_run '' "$held" /quiet
wait
e2e_expect_eq "held oem33.inf: exit code (1603)" "$E2E_RC" 67
log=$(e2e_run_log "$held")
e2e_expect_eq "held oem33.inf: its lines" "$(log_lines "$log" | grep oem33)" "$(printf '%s\n' \
    "Device inf file path: oem33.inf" "Can't read driver package, kept: oem33.inf. Error: 32" \
    "Can't read driver package, kept: oem33.inf. Error: 32")"
e2e_expect_eq "held oem33.inf: the end of the run log" "$(log_lines "$log" | tail -n 3)" "$(printf '%s\n' \
    "Can't read driver package, kept: oem33.inf. Error: 32" "NRV-CHECK: INCOMPLETE" "Exit code: 1603")"
e2e_run '' "$E2E_WORK/released" /quiet
e2e_expect_eq "released oem33.inf: exit code" "$E2E_RC" 0
e2e_expect_eq "released oem33.inf: the end of the run log" "$(log_lines "$(e2e_run_log "$E2E_WORK/released")" |
    tail -n 2)" "$(printf '%s\n' "NRV-CHECK: CLEAN" "Exit code: 0")"
cmp -s "$(e2e_unix_path 'C:\windows\inf\oem33.inf')" "$(e2e_unix_path 'C:\windows\inf\wineusb.inf')" &&
    e2e_pass "held oem33.inf: kept" || e2e_fail "held oem33.inf: changed or gone"

# A product whose package schedules a restart when it is removed: 3010. (The
# key of the mark is still there, with its other value.)
cp "$packages/plain.msi" "$E2E_WORK/restart.msi"
msibuild "$E2E_WORK/restart.msi" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('ScheduleReboot', 'REMOVE=\"ALL\"', 6590)"
e2e_wine msiexec /i "$(windows_path "$E2E_WORK/restart.msi")" /qn || e2e_fail "installing restart.msi failed"
e2e_wait
# The log folder through a link: Wine's +msi trace shows its real path.
mkdir -p "$E2E_WORK/restart" && ln -s restart "$E2E_WORK/restart-link"
E2E_STDERR=$E2E_WORK/msi-trace.txt WINEDEBUG=-all,+msi \
    e2e_run '' "$E2E_WORK/restart-cwd" /quiet "/logdir:$(windows_path "$E2E_WORK/restart-link")"
e2e_expect_eq "restart: exit code (3010)" "$E2E_RC" 194
e2e_expect_eq "restart: the installer log's path in every MsiEnableLogW" "$(grep -a MsiEnableLogW "$E2E_WORK/msi-trace.txt" |
    grep -ao 'L"[^"]*"' | sort -u)" "$(wine_string "$(windows_path "$(realpath "$E2E_WORK/restart")")\\${PLAIN}_uinstall.log")"
log=$(e2e_run_log "$E2E_WORK/restart")
e2e_expect_eq "restart: files" "$(e2e_files "$E2E_WORK/restart")" "$(printf '%s\n' "$(basename "$log")" \
    DPInst.log "${PLAIN}_uinstall.log" setupapi.dev.log setupapi.setup.log setupapiXP.log | LC_ALL=C sort)"
e2e_expect_eq "restart: run log" "$(log_lines "$log" | tail -n +3)" "$(printf '%s\n' "Nerovan Driver Cleanup utility v.$NRV_VERSION" "" \
    "" "Check product upgrade code: {6B1D2E40-3C8F-4a7e-91D5-2E7A4C0B93F1}" \
    "" "Check product upgrade code: {5E93A1C7-0D42-4b6f-A2E8-7C19D3F5046B}" \
    "" "Check product upgrade code: {8C2F6A19-47B3-4705-B1A6-93D0E7254C8A}" \
    "" "Check product upgrade code: {3A7E05D2-9B61-4c38-8F2D-A64E1B07C59E}" \
    "Found driver product package: $PLAIN" "Driver installer data base has open successfully." \
    "Driver product package cache path: @CACHED@" "Driver product package has remove successfully" \
    "Restart the computer to finish the removal." \
    "" "Check registry entries" "Registry mark found" "$(tr -d '\r' <<<"$E2E_CLEAN_DEVICES")" \
    "" "Shared driver package kept: oem22.inf" "NRV-CHECK: CLEAN" "Exit code: 3010")"

# A product whose cached package is missing stays installed: 1603. (Its
# uninstall fails by itself while the environment has NRV_E2E_STOP=1.)
cp "$packages/plain.msi" "$E2E_WORK/tools.msi"
msibuild "$E2E_WORK/tools.msi" \
    -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Target\`) VALUES ('StopRemoval', 19, 'Stopped by the test.')" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('StopRemoval', 'REMOVE=\"ALL\" AND %NRV_E2E_STOP=\"1\"', 1460)"
e2e_wine msiexec /i "$(windows_path "$E2E_WORK/tools.msi")" /qn || e2e_fail "installing tools.msi failed"
e2e_wait
rm -f "$(e2e_unix_path 'C:\windows\Installer')"/*.msi
e2e_run '' "$E2E_WORK/nocache" /quiet
e2e_expect_eq "missing cached package: exit code (1603)" "$E2E_RC" 67
log=$(e2e_run_log "$E2E_WORK/nocache")
e2e_expect_eq "missing cached package: failing steps" \
    "$(grep "^Can't" "$log" | tr -d '\r' | sed 's/[0-9]*$/N/')" \
    "Can't open package installer data base. Error: N
Can't remove driver product package. Error: N"
e2e_expect_eq "missing cached package: the run log's inventory" "$(log_lines "$log" | tail -n 5)" "$(printf '%s\n' "" \
    "Driver product: $PLAIN, Nerovan Scanner Tools, version 1.0.0, cached package missing" \
    "Shared driver package kept: oem22.inf" "NRV-CHECK: FOUND products=1 mark=0 nodes=0 packages=0" "Exit code: 1603")"

# With the originals (/packages:): a blocked product and the one with the
# launch condition (installed on Windows 8) lose their cached packages too.
# The folder, whose path holds a space, has them under other names, another
# build of the plain product and a file that is no package. The blocked
# product's original is one that others may change (Wine gives Everyone what
# the "other" mode bits allow): refused until only its owner may write it.
e2e_wine winecfg -v win8
for name in twin-a patched; do
    e2e_wine msiexec /i "$(windows_path "$packages/$name.msi")" /qn || e2e_fail "installing $name.msi failed"
done
e2e_wine winecfg -v win10
e2e_wait
rm -f "$(e2e_unix_path 'C:\windows\Installer')"/*.msi
kit="$E2E_WORK/kit dir/packages"
mkdir -p "$kit"
cp "$packages/twin-a.msi" "$kit/usb2.msi"
cp "$packages/patched.msi" "$kit/driver.msi"
cp "$packages/plain.msi" "$kit/tools 1.1.msi"
msibuild "$kit/tools 1.1.msi" -s "Nerovan Scanner Tools" Nerovan "Intel;1033" "{3A7E05D2-1111-4C38-8F2D-00000000B011}"
echo "not a package" >"$kit/readme.msi"
chmod 644 "$kit"/*
chmod o+w "$kit/usb2.msi"
sums() { (cd "$kit" && md5sum -- * | LC_ALL=C sort); }
kit_sums=$(sums)
refused="Original package refused, another build: $(windows_path "$kit")\\tools 1.1.msi, package code {3A7E05D2-1111-4C38-8F2D-00000000B011}, installed"
e2e_run '' "$E2E_WORK/check-kit" /check "/packages:$(windows_path "$kit")\\"
e2e_expect_eq "originals, /check: exit code" "$E2E_RC" 1
e2e_expect_eq "originals, /check: files written" "$(e2e_files "$E2E_WORK/check-kit")" ""
e2e_expect_eq "originals, /check: what it says of them" "$(tr -d '\r' <"$E2E_CONSOLE" | grep -E '^(Driver product|Original|No original)' |
    sed 's/, installed {.*}$/, installed/')" "$(printf '%s\n' \
    "Driver product: $TWIN_A, Nerovan Scanner Driver USB2, version 1.0.0, cached package missing" \
    "Original package refused, others can change it: $(windows_path "$kit")\\usb2.msi" \
    "No original package of this product in: $(windows_path "$kit")" \
    "Driver product: $PATCHED, Nerovan Scanner Driver, version 1.0.0, cached package missing" \
    "Original package: $(windows_path "$kit")\\driver.msi" \
    "Driver product: $PLAIN, Nerovan Scanner Tools, version 1.0.0, cached package missing" \
    "$refused" "No original package of this product in: $(windows_path "$kit")")"
# Another build and an original others can change are refused: those
# products stay, the other goes.
temp_before=$(ls -A "$(e2e_unix_path 'C:\windows\temp')")
e2e_run '' "$E2E_WORK/kit1" /quiet "/packages:$(windows_path "$kit")\\"
e2e_expect_eq "originals, refused: exit code (1603)" "$E2E_RC" 67
log=$(e2e_run_log "$E2E_WORK/kit1")
e2e_expect_eq "originals, refused: the products left" "$(log_lines "$log" | tail -n 9 | head -n 6 |
    sed 's/, installed {.*}$/, installed/')" "$(printf '%s\n' \
    "Driver product: $TWIN_A, Nerovan Scanner Driver USB2, version 1.0.0, cached package missing" \
    "Original package refused, others can change it: $(windows_path "$kit")\\usb2.msi" \
    "No original package of this product in: $(windows_path "$kit")" \
    "Driver product: $PLAIN, Nerovan Scanner Tools, version 1.0.0, cached package missing" "$refused" \
    "No original package of this product in: $(windows_path "$kit")")"
# With its own build beside it, the other original mended, and the log
# folder first: clean. First the tools' uninstall fails by itself: 1603.
cp "$E2E_WORK/tools.msi" "$kit/tools.msi"
chmod o-w "$kit/usb2.msi"
NRV_E2E_STOP=1 e2e_run '' "$E2E_WORK/kit-fails" /quiet "/packages:$(windows_path "$kit")\\"
e2e_expect_eq "originals, an uninstall that fails: exit code (1603)" "$E2E_RC" 67
e2e_run '' "$E2E_WORK/check-kept" /check
e2e_expect_eq "originals, an uninstall that fails: /check, its cache kept" "$(tr -d '\r' <"$E2E_CONSOLE" | grep '^Driver product')" \
    "Driver product: $PLAIN, Nerovan Scanner Tools, version 1.0.0"
mkdir -p "$E2E_WORK/kit2"
e2e_run '' "$E2E_WORK/kit2" "/logdir:$(windows_path "$E2E_WORK/kit2")\\" /quiet "/packages:$(windows_path "$kit")\\"
e2e_expect_eq "originals: exit code" "$E2E_RC" 0
e2e_expect_eq "originals: the end of the run log" "$(log_lines "$(e2e_run_log "$E2E_WORK/kit2")" | tail -n 2)" "$(printf '%s\n' "NRV-CHECK: CLEAN" "Exit code: 0")"
e2e_expect_eq "originals: the folder unchanged" "$(sums | grep -v ' tools.msi$')" "$kit_sums"
# Restored once each, every uninstall from C:\windows\Installer, and nothing made in C:\windows\temp.
runs=$(for run in kit1 kit-fails kit2; do tr -d '\r' <"$(e2e_run_log "$E2E_WORK/$run")"; done)
e2e_expect_eq "originals: restored, every uninstall from C:\windows\Installer" "$(grep -a '^Cached package restored from: ' <<<"$runs" |
    sed 's/^.*\\//' | LC_ALL=C sort | xargs) $(grep -a '^Driver product package cache path: ' <<<"$runs" |
    grep -cvE ': C:\\windows\\Installer\\[0-9a-f]+\.msi$')" "driver.msi tools.msi usb2.msi 0"
e2e_expect_eq "originals: nothing made in C:\windows\temp" "$(ls -A "$(e2e_unix_path 'C:\windows\temp')")" "$temp_before"

# A log folder that does not exist: the run does not start.
e2e_snapshot >"$E2E_WORK/before.txt"
e2e_run '' "$E2E_WORK/nologdir" /quiet "/logdir:$(windows_path "$E2E_WORK/missing")"
e2e_expect_eq "missing log folder: exit code (-1)" "$E2E_RC" 255
e2e_lines error "Can't create log file"
e2e_expect_bytes "missing log folder: console" "$E2E_CONSOLE" "$E2E_BANNER$error"
e2e_expect_eq "missing log folder: files written" "$(e2e_files "$E2E_WORK/nologdir")" ""
[[ -e $E2E_WORK/missing ]] && e2e_fail "missing log folder: the folder was made"
e2e_expect_unchanged "missing log folder: machine unchanged" "$E2E_WORK/before.txt"

# Neither the plain run nor /check (which detection runs every hour) writes an event.
for option in '' /check; do
    E2E_STDERR=$E2E_WORK/trace.txt WINEDEBUG=-all,+eventlog e2e_run 'y\n' "$E2E_WORK/run$option" $option
    e2e_expect_eq "${option:-plain run}: exit code, events" "$E2E_RC $(events "$E2E_WORK/trace.txt")" "0 "
done
e2e_finish
