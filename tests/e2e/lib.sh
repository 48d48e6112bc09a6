# The Wine part of the shell tests, on top of tests/check.sh: source it at
# the top of a scenario. It reads the scenario's header ("# needs: ...",
# skipping the scenario when one is missing), copies a fresh Wine prefix from
# the template and removes it when the script ends. The program is the
# 64-bit one, or with NRV_E2E_ARCH=x86 the 32-bit one (E2E_EXE, run by
# E2E_WINE). tests/README.md lists what a scenario is given.
source "$NRV_E2E_DIR/../check.sh"

: "${NRV_WINE64:?}" "${NRV_WINESERVER:?}" "${NRV_TEMPLATE_PREFIX:?}" "${NRV_VERSION:?}"
E2E_ARCH=${NRV_E2E_ARCH:-x64}
E2E_EXE=${NRV_EXE64:?} E2E_WINE=$NRV_WINE64 E2E_DLL_OVERRIDES=
if [[ $E2E_ARCH == x86 ]]; then source "$NRV_E2E_DIR/emulation/x86.sh"; fi
# The prerequisites the scenario's header names, before anything is made.
e2e_needs() { sed -n 's/^# needs://p' "$1" | head -1; }
# shellcheck disable=SC2046
require $(e2e_needs "$0")
[[ -f $E2E_EXE ]] || { echo "missing program: $E2E_EXE (build the win-x64 and win-x86 presets)"; exit 1; }
# Seconds a Wine step may take before the scenario fails.
E2E_TIMEOUT=${E2E_TIMEOUT:-300}

E2E_WORK=$(mktemp -d /tmp/nrv-e2e-XXXXXX)
export WINEPREFIX=$E2E_WORK/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=$E2E_DLL_OVERRIDES"
unset DISPLAY

# Ends the prefix's processes and removes the scenario's folder; the first
# clean-up added, so it runs last. Safe to call more than once.
e2e_cleanup() {
    [[ -d $E2E_WORK ]] || return 0
    timeout 60 "$NRV_WINESERVER" -k >/dev/null 2>&1 || true
    if declare -F x86_end_leftovers >/dev/null; then x86_end_leftovers "$WINEPREFIX"; fi
    chattr -R -i "$E2E_WORK" >/dev/null 2>&1 || true
    rm -rf "$E2E_WORK"
}
at_exit e2e_cleanup
cp -a "$NRV_TEMPLATE_PREFIX" "$WINEPREFIX"
# The Windows of the prefix: win64, or win32 (32-bit Windows, one registry view).
E2E_WINDOWS=win64
if grep -qs '^#arch=win32' "$WINEPREFIX/system.reg"; then E2E_WINDOWS=win32; fi

# Waits for the prefix's processes to end; fails the scenario if they do not.
e2e_wait() {
    timeout "$E2E_TIMEOUT" "$NRV_WINESERVER" -w ||
        { echo "FAIL: the prefix's processes did not end in $E2E_TIMEOUT s"; exit 1; }
}

# The Unix path of a Windows path inside the prefix (C: only).
e2e_unix_path() {
    local p=${1#[Cc]:\\}
    echo "$WINEPREFIX/drive_c/${p//\\//}"
}

# Runs a Windows program of the tests (or any exe) in the prefix.
e2e_wine() { timeout "$E2E_TIMEOUT" "$E2E_WINE" "$@"; }

# e2e_run_stdin DIR [OPTION...]: runs the cleanup (with the options) in
# working directory DIR, reading this call's standard input; sets E2E_RC and
# E2E_CONSOLE (a file). Standard error (Wine's traces, with WINEDEBUG) goes to
# the file E2E_STDERR if set.
e2e_run_stdin() {
    local dir=$1
    shift
    mkdir -p "$dir"
    E2E_CONSOLE=$E2E_WORK/console-$RANDOM.bin
    set +e
    (cd "$dir" && timeout "$E2E_TIMEOUT" "$E2E_WINE" "$E2E_EXE" "$@" >"$E2E_CONSOLE" 2>"${E2E_STDERR:-/dev/null}")
    E2E_RC=$?
    set -e
    e2e_wait
}

# e2e_run ANSWER DIR [OPTION...]: the same with ANSWER (printf format) piped in.
e2e_run() {
    local answer=$1
    shift
    e2e_run_stdin "$@" < <(printf "$answer")
}

# e2e_lines VAR LINE...: sets VAR to the lines, each ended by CR LF (what
# the program writes). Command substitution would drop the last line feed.
e2e_lines() {
    local -n _out=$1
    shift
    local line
    _out=
    for line in "$@"; do _out+=$line$'\r\n'; done
}

# The shared checks under the names the scenarios use.
e2e_fail() { check_fail "$@"; }
e2e_pass() { check_ok "$@"; }
e2e_expect_eq() { check_eq "$@"; }
# e2e_expect_bytes WHAT FILE EXPECTED: compares a file's bytes with a string.
e2e_expect_bytes() { check_bytes "$@"; }
e2e_finish() { check_done; }

# The one run log in DIR (fails the scenario unless there is exactly one,
# named as the program names it).
e2e_run_log() {
    local dir=$1 logs
    logs=$(cd "$dir" && ls nrvDrvCln-*.txt 2>/dev/null || true)
    if [[ $(printf '%s' "$logs" | grep -c .) -ne 1 ]]; then
        e2e_fail "expected exactly one run log in $dir, found: ${logs:-none}"
        echo /dev/null
        return
    fi
    if [[ ! $logs =~ ^nrvDrvCln-[0-3][0-9]-[01][0-9]-[0-9]{2}-[0-2][0-9]-[0-5][0-9]-[0-5][0-9]-[0-9A-F]{3}\.txt$ ]]; then
        e2e_fail "run log name $logs is not of the expected form"
    fi
    echo "$dir/$logs"
}

# Files in DIR, one per line, sorted.
e2e_files() { (cd "$1" && ls -A | LC_ALL=C sort); }

# Texts every run shows.
e2e_lines E2E_BANNER "Nerovan Driver Cleanup utility v.$NRV_VERSION" ""
e2e_lines E2E_DIALOGUE "NOTE: Make sure that you connect Nerovan scanner to computer at least once." "" \
    "PLEASE DETACH ANY NEROVAN DEVICE BEFORE CONTINUE!"
E2E_DIALOGUE+="Do you want to continue [y/N]? "
e2e_lines E2E_PAUSE "Press any key to continue"

# e2e_plant_demo: plants the demo machine (demo/plant.d: driver products,
# device nodes and their INF packages, the registry mark, the setup logs)
# with this program's Wine and fixtures.
e2e_plant_demo() {
    local plant
    export NRV_DEMO_ROOT NRV_DEMO_BUILD=$E2E_WORK/demo NRV_WINE=$E2E_WINE NRV_FIXTURES NRV_WINESERVER
    NRV_DEMO_ROOT=$(cd "$NRV_E2E_DIR/../.." && pwd)
    for plant in "$NRV_DEMO_ROOT"/demo/plant.d/*.sh; do
        bash "$plant" >/dev/null || e2e_fail "planting $(basename "$plant")"
    done
}

# e2e_demo_files RUN_LOG: the files a cleanup of the demo machine leaves in
# its folder (the run log, the setup-log copies, the installer logs), sorted.
e2e_demo_files() {
    printf '%s\n' DPInst.log "$(basename "$1")" setupapi.dev.log setupapi.setup.log setupapiXP.log \
        '{3A7E05D2-4C4C-4C38-8F2D-0000000000C3}_uinstall.log' \
        '{5E93A1C7-0D42-4B6F-A2E8-7C19D3F5046B}_uinstall.log' \
        '{6B1D2E40-1A11-4A7E-91D5-000000000A01}_uinstall.log' \
        '{6B1D2E40-1A11-4A7E-91D5-000000000B02}_uinstall.log' | LC_ALL=C sort
}

# e2e_stage_inf NAME [utf16] <TEXT: writes TEXT (LF lines, written with CR LF)
# as C:\windows\inf\NAME, in ANSI or in UTF-16LE with a byte-order mark.
e2e_stage_inf() {
    local file
    file=$(e2e_unix_path "C:\\windows\\inf\\$1")
    if [[ ${2-} == utf16 ]]; then
        { printf '\xff\xfe'; sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } >"$file"
    else
        sed 's/$/\r/' >"$file"
    fi
}

# e2e_stage_driver_packages: stages driver packages that no device node names
# in the INF folder: two of the scanner only (oem20.inf, ANSI, under decorated
# models sections; oem21.inf, UTF-16, lower-case ids, a scanner id as the
# compatible id), one shared with another maker's device (oem22.inf), one of
# another maker only (oem23.inf, with an id that merely begins like a
# scanner's), a scanner package that Windows cannot open as an INF (oem24.inf,
# no signature) and one not added to the driver store (nrvscan.inf).
e2e_stage_driver_packages() {
    local version='[Version]
Signature="$Windows NT$"
Class=Image
Provider=%M%
DriverVer=05/04/2021,3.2.0.1
'
    e2e_stage_inf oem20.inf <<EOF_INF
$version
[Manufacturer]
%M%=Models,NTamd64,NTx86

[Models.NTamd64]
%Dev%=Install, USB\\VID_7F3A&PID_0042&REV_0100

[Models.NTx86]
%Dev%=Install, USB\\VID_7F3A&PID_0042&REV_0100

[Strings]
M="Nerovan"
Dev="Nerovan scanner"
EOF_INF
    e2e_stage_inf oem21.inf utf16 <<EOF_INF
$version
[Manufacturer]
%M%=Nerovan

[Nerovan]
%Dev%=Install, usb\\vid_7f3a&pid_0064, usb\\vid_7f3a&pid_0058&mi_00

[Strings]
M="Nerovan"
Dev="Nerovan scanner – Unicode"
EOF_INF
    e2e_stage_inf oem22.inf <<EOF_INF
$version
[Manufacturer]
%M%=Models,NTamd64

[Models.NTamd64]
%Dev%=Install, USB\\VID_7F3A&PID_0036
%Other%=Install, USB\\VID_04A9&PID_1234

[Strings]
M="Imaging devices"
Dev="Nerovan scanner"
Other="Other camera"
EOF_INF
    e2e_stage_inf oem23.inf <<EOF_INF
$version
[Manufacturer]
%M%=Models

[Models]
%Other%=Install, USB\\VID_04A9&PID_2222, USB\\VID_7F3A&PID_00421

[Strings]
M="Other maker"
Other="Other camera"
EOF_INF
    e2e_stage_inf oem24.inf <<EOF_INF
[Manufacturer]
%M%=Models

[Models]
%Dev%=Install, USB\\VID_7F3A&PID_0047

[Strings]
M="Nerovan"
Dev="Nerovan scanner"
EOF_INF
    e2e_stage_inf nrvscan.inf <<EOF_INF
$version
[Manufacturer]
%M%=Models

[Models]
%Dev%=Install, USB\\VID_7F3A&PID_0053

[Strings]
M="Nerovan"
Dev="Nerovan scanner"
EOF_INF
}

# e2e_plant_other_makers_package: a scanner node (USB\VID_7F3A&PID_0058\NRV0033)
# naming oem33.inf, which is another maker's real INF: Wine's USB bus driver
# (wineusb.inf), as when Windows gave a freed name to a package staged later.
# The cleanup removes the node and keeps the package.
e2e_plant_other_makers_package() {
    cp "$(e2e_unix_path 'C:\windows\inf\wineusb.inf')" "$(e2e_unix_path 'C:\windows\inf\oem33.inf')"
    e2e_wine "$NRV_FIXTURES/devices_fixture.exe" plant \
        'node:USB\VID_7F3A&PID_0058\NRV0033,{6BDD1FC6-810F-11D0-BEC7-08002BE2092F},oem33.inf,1.0.0.0' >/dev/null ||
        e2e_fail "planting the node of oem33.inf"
}

# e2e_snapshot: prints what a run could change of the scanner's traces: the
# registry keys of the mark, the device nodes and the installed products (each
# view), the nodes under the hardware ids as SetupAPI lists them, and the INF
# folder and the installer's package cache with checksums. Needs
# expected_clean_machine.sh.
e2e_snapshot() {
    local views=(64 32) key view i=0 args=() id snap=$E2E_WORK/snapshot
    mkdir -p "$snap"
    [[ $E2E_WINDOWS == win32 ]] && views=(32)
    for key in 'HKLM\Software\NerovanDrv' 'HKLM\System\CurrentControlSet\Enum\USB' \
        'HKLM\Software\Classes\Installer\Products' 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'; do
        for view in "${views[@]}"; do
            rm -f "$snap/$i.reg"
            echo "== $key ($view)"
            if [[ $E2E_WINDOWS == win32 ]]; then
                e2e_wine reg export "$key" "Z:${snap//\//\\}\\$i.reg" /y >/dev/null 2>&1 || echo "no key"
            else
                e2e_wine reg export "$key" "Z:${snap//\//\\}\\$i.reg" "/reg:$view" /y >/dev/null 2>&1 || echo "no key"
            fi
            [[ -f $snap/$i.reg ]] && iconv -f UTF-16LE -t UTF-8 "$snap/$i.reg"
            i=$((i + 1))
        done
    done
    for id in "${E2E_HARDWARE_IDS[@]}"; do args+=("nodes:$id"); done
    echo "== nodes"
    e2e_wine "$NRV_FIXTURES/devices_fixture.exe" report "${args[@]}" | tr -d '\r'
    echo "== INF folder"
    (cd "$(e2e_unix_path 'C:\windows\inf')" && find . -type f -exec md5sum {} + | LC_ALL=C sort -k2)
    echo "== package cache"
    (cd "$(e2e_unix_path 'C:\windows\Installer')" && find . -type f -exec md5sum {} + | LC_ALL=C sort -k2)
}

# e2e_expect_unchanged WHAT BEFORE: passes if e2e_snapshot now prints the
# file BEFORE (its earlier output), else fails with the difference.
e2e_expect_unchanged() {
    local now=$E2E_WORK/snapshot-now.txt
    e2e_snapshot >"$now"
    if cmp -s "$2" "$now"; then
        e2e_pass "$1"
    else
        e2e_fail "$1: the machine changed (- before, + now)"
        diff -u "$2" "$now" | tail -n +3 | head -40 || true
    fi
}
