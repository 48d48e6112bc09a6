#!/bin/bash
# arch: x64 x86
# needs: msibuild
# Driver products installed on Windows 8, cleaned up on Windows 10 by the real
# Windows Installer: every product of the four upgrade codes is patched and
# removed, an unrelated product is left alone.
#
# One product's package schedules a restart when it is removed: its uninstall
# returns 3010, which counts as removed, with the restart line, and the run
# goes on. Every uninstall is told to suppress the restart, and gets its
# installer log by its full path (Wine's msi trace shows both).
#
# The first run holds back the patched product's removal (an extra error
# action of the test's copy of its package, active while NRV_E2E_HOLD_REMOVAL
# is 1), so that its cached package, as the run committed it, can be read
# afterwards; a second run then removes it.
source "$NRV_E2E_DIR/lib.sh"
source "$NRV_E2E_DIR/expected_clean_machine.sh"

packages=$NRV_E2E_BUILD/products
[[ -f $packages/patched.msi ]] || { echo "missing packages in $packages (build the host preset)"; exit 1; }

PATCHED='{5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}'
TWIN_A='{6B1D2E40-1A11-4A7E-91D5-000000000A01}'
TWIN_B='{6B1D2E40-1A11-4A7E-91D5-000000000B02}'
PLAIN='{3A7E05D2-4C4C-4C38-8F2D-0000000000C3}'
UNRELATED='{0E1F2A3B-AAAA-4E6F-8A9B-0000000000D4}'

cp "$packages"/*.msi "$E2E_WORK/"
msibuild "$E2E_WORK/patched.msi" \
    -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Target\`) VALUES ('HoldRemoval', 19, 'Removal held by the test.')" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('HoldRemoval', 'REMOVE=\"ALL\" AND %NRV_E2E_HOLD_REMOVAL=\"1\"', 1460)"
msibuild "$E2E_WORK/plain.msi" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('ScheduleReboot', 'REMOVE=\"ALL\"', 6590)"

# install PACKAGE PRODUCT_CODE: installs and notes the product's cached package.
installer_dir=$(e2e_unix_path 'C:\windows\Installer')
declare -A cached
install() {
    local before new
    before=$(cd "$installer_dir" 2>/dev/null && ls -- *.msi 2>/dev/null || true)
    e2e_wine msiexec /i "Z:${1//\//\\}" /qn || e2e_fail "installing $(basename "$1") failed"
    new=$(comm -13 <(printf '%s\n' "$before") <(cd "$installer_dir" && ls -- *.msi))
    cached[$2]="C:\\windows\\Installer\\$new"
}
cached_unix() { e2e_unix_path "${cached[$1]}"; }

# Whether the product is registered (the registry file is current once the
# prefix's server has ended).
installed() {
    "$NRV_WINESERVER" -w
    grep -qiF "\\\\Uninstall\\\\$1]" "$WINEPREFIX/system.reg"
}
expect_installed() {
    if installed "$2"; then e2e_expect_eq "$1" installed "$3"; else e2e_expect_eq "$1" removed "$3"; fi
}

# Like e2e_expect_bytes, with a line diff when they differ.
expect_lines() {
    local what=$1 file=$2 expected=$3
    if cmp -s "$file" <(printf '%s' "$expected"); then
        e2e_pass "$what"
    else
        e2e_fail "$what differs (- expected, + actual)"
        diff -u <(printf '%s' "$expected") "$file" | tail -n +3 | cat -A | head -60 || true
    fi
}

e2e_wine winecfg -v win8
for name in patched twin-a twin-b plain unrelated; do
    case $name in
    patched) code=$PATCHED ;; twin-a) code=$TWIN_A ;; twin-b) code=$TWIN_B ;;
    plain) code=$PLAIN ;; unrelated) code=$UNRELATED ;;
    esac
    install "$E2E_WORK/$name.msi" "$code"
done
for code in "$PATCHED" "$TWIN_A" "$TWIN_B" "$PLAIN" "$UNRELATED"; do
    installed "$code" || e2e_fail "product $code did not install"
done
unrelated_sum=$(md5sum <"$(cached_unix "$UNRELATED")")
e2e_wine winecfg -v win10

opened="Driver installer data base has open successfully."
changed="Driver installer data base has changed successfully."
removed="Driver product package has remove successfully"
found() { echo "Found driver product package: $1"; }
path() { echo "Driver product package cache path: ${cached[$1]}"; }
check() { printf '%s\n' "" "Check product upgrade code: $1"; }
# What the other passes report on this machine: nothing of theirs is here.
others=${E2E_CLEAN_REPORT#"$E2E_CLEAN_PRODUCTS"}

# Run 1: the patched product's removal is held back.
mapfile -t lines < <(
    check '{6B1D2E40-3C8F-4a7e-91D5-2E7A4C0B93F1}'
    printf '%s\n' "$(found "$TWIN_A")" "$opened" "$changed" "$(path "$TWIN_A")" "$removed"
    printf '%s\n' "$(found "$TWIN_B")" "$opened" "$changed" "Can't create installer log file. Error: 80" \
        "$(path "$TWIN_B")" "$removed"
    check '{5E93A1C7-0D42-4b6f-A2E8-7C19D3F5046B}'
    printf '%s\n' "$(found "$PATCHED")" "$opened" \
        "Invalid condition description string: This driver can't be installed on this version of Windows." \
        "$changed" "$(path "$PATCHED")" "Can't remove driver product package. Error: 1603"
    check '{8C2F6A19-47B3-4705-B1A6-93D0E7254C8A}'
    check '{3A7E05D2-9B61-4c38-8F2D-A64E1B07C59E}'
    printf '%s\n' "$(found "$PLAIN")" "$opened" "$(path "$PLAIN")" "$removed" \
        "Restart the computer to finish the removal."
)
e2e_lines report "${lines[@]}"
# Links planted under installer-log names: a second hard link of a file
# outside is replaced by a new file; a dangling symbolic link cannot be
# replaced under Wine (its DeleteFileW follows the link), so that product is
# uninstalled without a log, and the link's target is never made.
outside=$E2E_WORK/outside
mkdir -p "$outside" "$E2E_WORK/run1"
printf 'not for the installer to write\r\n' >"$outside/hard"
ln "$outside/hard" "$E2E_WORK/run1/${TWIN_A}_uinstall.log"
ln -s "$outside/dangling" "$E2E_WORK/run1/${TWIN_B}_uinstall.log"
export NRV_E2E_HOLD_REMOVAL=1
E2E_STDERR=$E2E_WORK/run1-trace WINEDEBUG=trace+msi e2e_run 'y\n' "$E2E_WORK/run1"
unset NRV_E2E_HOLD_REMOVAL
e2e_expect_eq "run 1: exit code" "$E2E_RC" 0
expect_lines "run 1: console" "$E2E_CONSOLE" "$E2E_BANNER$E2E_DIALOGUE$report$others$E2E_PAUSE"
log=$(e2e_run_log "$E2E_WORK/run1")
expect_lines "run 1: run log" "$log" "$E2E_BANNER$report$others"
e2e_expect_eq "run 1: files left" "$(e2e_files "$E2E_WORK/run1")" "$(printf '%s\n' "$(basename "$log")" \
    "${PATCHED}_uinstall.log" "${TWIN_A}_uinstall.log" "${TWIN_B}_uinstall.log" "${PLAIN}_uinstall.log" \
    $E2E_CLEAN_FILES | LC_ALL=C sort)"
e2e_expect_bytes "run 1: hard-linked file untouched" "$outside/hard" $'not for the installer to write\r\n'
e2e_expect_eq "run 1: dangling link's target not made" "$(ls "$outside")" hard
e2e_expect_eq "run 1: installer log a new file" "$(stat -c '%F %h' "$E2E_WORK/run1/${TWIN_A}_uinstall.log")" "regular file 1"
for code in "$TWIN_A" "$PATCHED"; do
    grep -qF "ProductCode = $code" "$E2E_WORK/run1/${code}_uinstall.log" &&
        e2e_pass "run 1: installer log of $code" || e2e_fail "run 1: ${code}_uinstall.log is not that product's log"
done
run1_windows="Z:${E2E_WORK//\//\\\\}\\\\run1\\\\"
grep -qE "MsiEnableLogW 0(x0)?, \\(null\\), 0(x0)?$" "$E2E_WORK/run1-trace" &&
    e2e_pass "run 1: no installer log where none could be made" || e2e_fail "run 1: logging not switched off"
for code in "$TWIN_A" "$PATCHED" "$PLAIN"; do
    grep -qF "MsiEnableLogW 0x1400, L\"$run1_windows${code}_uinstall.log\", 0x3" "$E2E_WORK/run1-trace" &&
        e2e_pass "run 1: installer log of $code by its full path" ||
        e2e_fail "run 1: installer log of $code not by its full path"
done
e2e_expect_eq "run 1: every uninstall suppresses the restart" \
    "$(grep -o 'MsiInstallProductW .*' "$E2E_WORK/run1-trace" | grep -o 'L"[^"]*"$' | sort | uniq -c | tr -s ' ')" \
    ' 4 L"REMOVE=ALL REBOOT=ReallySuppress"'
for code in "$TWIN_A" "$TWIN_B" "$PLAIN"; do expect_installed "run 1: product $code" "$code" removed; done
expect_installed "run 1: patched product (held back)" "$PATCHED" installed
patched_package=$(cached_unix "$PATCHED")
e2e_expect_eq "run 1: launch condition replaced, description kept" \
    "$(msiinfo export "$patched_package" LaunchCondition | tail -n +4 | tr -d '\r')" \
    "Installed OR VersionNT >= 602	This driver can't be installed on this version of Windows."
e2e_expect_eq "run 1: check action disabled" \
    "$(msiinfo export "$patched_package" InstallExecuteSequence | tr -d '\r' | grep '^CheckDriverUninstallResult')" \
    "CheckDriverUninstallResult	0	1450"

# Run 2: nothing holds the patched product back any more.
mapfile -t lines < <(
    check '{6B1D2E40-3C8F-4a7e-91D5-2E7A4C0B93F1}'
    check '{5E93A1C7-0D42-4b6f-A2E8-7C19D3F5046B}'
    printf '%s\n' "$(found "$PATCHED")" "$opened" "$changed" "$(path "$PATCHED")" "$removed"
    check '{8C2F6A19-47B3-4705-B1A6-93D0E7254C8A}'
    check '{3A7E05D2-9B61-4c38-8F2D-A64E1B07C59E}'
)
e2e_lines report "${lines[@]}"
e2e_run 'y\n' "$E2E_WORK/run2"
e2e_expect_eq "run 2: exit code" "$E2E_RC" 0
log=$(e2e_run_log "$E2E_WORK/run2")
expect_lines "run 2: run log" "$log" "$E2E_BANNER$report$others"
e2e_expect_eq "run 2: files left" "$(e2e_files "$E2E_WORK/run2")" "$(printf '%s\n' "$(basename "$log")" \
    "${PATCHED}_uinstall.log" $E2E_CLEAN_FILES | LC_ALL=C sort)"
expect_installed "run 2: patched product" "$PATCHED" removed
[[ -e $patched_package ]] && e2e_fail "run 2: the patched product's cached package is still there"

expect_installed "unrelated product" "$UNRELATED" installed
e2e_expect_eq "unrelated product's package unchanged" "$(md5sum <"$(cached_unix "$UNRELATED")")" "$unrelated_sum"
e2e_finish
