# The Wine part of the shell tests, on top of tests/check.sh: source it at
# the top of a scenario. It reads the scenario's header ("# needs: ...",
# skipping the scenario when one is missing), copies a fresh Wine prefix from
# the template and removes it when the script ends. The program is the
# 64-bit one, or with NRV_E2E_ARCH=x86 the 32-bit one (E2E_EXE, run by
# E2E_WINE). tests/README.md lists what a scenario is given.
source "$NRV_E2E_DIR/fixed_layout.sh"
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
# e2e_copy_prefix TEMPLATE PREFIX: a prefix of its own for the scenario. The
# template is 1.3 GB, almost all of it PE images and language tables that
# Wine only maps and nothing writes in place (an uninstall may only delete
# one): the copy shares those with the template by hard links, and copies
# every other file (registry, .ini, INF and log files, written in place). A
# copy is then about 15 MB and half a second instead of 1.3 GB and 3 to 11 s:
# four scenarios at a time no longer write 5 GB, holding up every Wine
# process of the machine on the disk meanwhile.
e2e_copy_prefix() {
    local shared=(\( -iname '*.dll' -o -iname '*.exe' -o -iname '*.drv' -o -iname '*.sys' -o -iname '*.nls'
        -o -iname '*.ocx' -o -iname '*.cpl' -o -iname '*.acm' -o -iname '*.ax' -o -iname '*.ds' \))
    mkdir "$2"
    (cd "$1" && find . -mindepth 1 ! \( -type f "${shared[@]}" \) -print0 |
        tar --null --no-recursion -T - -cf -) | tar -C "$2" -xpf -
    (cd "$1" && find . -type f "${shared[@]}" -print0 | xargs -0 -r cp -l --parents -t "$2")
}
e2e_copy_prefix "$NRV_TEMPLATE_PREFIX" "$WINEPREFIX"
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

# e2e_step_failed WHAT RC OUTPUT_FILE: fails the scenario with the step, its
# exit code (124: the step's time limit) and what it printed.
e2e_step_failed() {
    e2e_fail "$1 exited $2$( ((${2} == 124)) && echo " (after $E2E_TIMEOUT s)"); it printed:$(
        [[ -s $3 ]] && printf '\n%s' "$(head -c 4000 "$3" | tr -d '\r' | sed 's/^/    | /')" || echo " nothing")"
}

# Wine's own error messages, for the steps of a scenario (not the program's
# runs, whose standard error some scenarios compare): kept, and shown when a
# step fails.
E2E_STEP_WINEDEBUG=-all,err+all

# Runs a Windows program of the tests (or any exe) in the prefix, a step that
# must succeed. Its standard output goes where the caller sends it; when it
# fails, the scenario fails with the command, its exit code and what it wrote
# on standard error (with Wine's error messages).
e2e_wine() {
    local err rc=0
    err=$(mktemp "$E2E_WORK/stderr-XXXXXX")
    WINEDEBUG=$E2E_STEP_WINEDEBUG timeout "$E2E_TIMEOUT" "$E2E_WINE" "$@" 2>"$err" || rc=$?
    ((rc == 0)) || e2e_step_failed "wine $*" "$rc" "$err"
    rm -f "$err"
    return "$rc"
}

# e2e_reg reg-ARGUMENT...: runs Wine's reg where "the key or value does not
# exist" is an answer (a query or export of something a run may remove):
# prints what reg printed and returns 0, or returns 1 when reg says it cannot
# find the key or value. Any other failure (Wine not starting, a time limit)
# fails the scenario with the command, its exit code and what it printed, and
# returns 2.
e2e_reg() {
    local out err rc=0
    out=$(mktemp "$E2E_WORK/reg-XXXXXX")
    err=$(mktemp "$E2E_WORK/stderr-XXXXXX")
    WINEDEBUG=$E2E_STEP_WINEDEBUG timeout "$E2E_TIMEOUT" "$E2E_WINE" reg "$@" >"$out" 2>"$err" || rc=$?
    if ((rc == 0)); then
        cat "$out"
    elif ((rc == 1)) && [[ $(tr -d '\r' <"$out" | grep -Ev '^$|^[0-9a-f]{4}:(err|fixme|warn|trace):') =~ \
        ^"reg: Unable to find the specified registry "(key|value)$ ]]; then
        :
    else
        cat "$err" >>"$out"
        e2e_step_failed "wine reg $*" "$rc" "$out"
        rc=2
    fi
    rm -f "$out" "$err"
    return "$rc"
}

# e2e_run_stdin DIR [OPTION...]: runs the cleanup (with the options) in
# working directory DIR, reading this call's standard input; sets E2E_RC and
# E2E_CONSOLE (a file). Standard error (Wine's traces, with WINEDEBUG) goes to
# the file E2E_STDERR if set; otherwise whatever reaches it is passed on, with
# the exit code, for the log.
#
# Wine's background processes of the prefix (explorer, the services) are
# started by the program's process and write to its standard error too: under
# load, one shut down while it was still starting (the program had already
# ended, after its usage) crashed, and Wine's "wine: Unhandled page fault ..."
# line landed in the middle of the program's usage. Such "wine: " lines are
# Wine's, never the program's: they are taken out of E2E_STDERR and shown
# apart. A crash of the program itself still shows in its exit code.
e2e_run_stdin() {
    local dir=$1 err=${E2E_STDERR:-$E2E_WORK/stderr-run.txt} wine_lines
    shift
    mkdir -p "$dir"
    E2E_CONSOLE=$(mktemp "$E2E_WORK/console-XXXXXX")
    set +e
    (cd "$dir" && timeout "$E2E_TIMEOUT" "$E2E_WINE" "$E2E_EXE" "$@" >"$E2E_CONSOLE" 2>"$err")
    E2E_RC=$?
    set -e
    e2e_wait
    if [[ -n ${E2E_STDERR-} ]] && wine_lines=$(grep -a '^wine: ' "$err"); then
        echo "Wine's own lines during the run $* (exit code $E2E_RC), not the program's:" >&2
        sed 's/^/    | /' <<<"$wine_lines" >&2
        sed -i '/^wine: /d' "$err"
    elif [[ -z ${E2E_STDERR-} && -s $err ]]; then
        echo "standard error of the run $* (exit code $E2E_RC):" >&2
        tr -d '\r' <"$err" | sed 's/^/    | /' >&2
    fi
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
        e2e_script "planting $(basename "$plant")" "$plant" >/dev/null
    done
}

# e2e_script WHAT SCRIPT: runs a shell script of Wine steps, its output kept;
# when it fails, the scenario fails with WHAT, its exit code and all it
# printed (the script's own trap names the command that failed).
e2e_script() {
    local out rc=0
    out=$(mktemp "$E2E_WORK/script-XXXXXX")
    WINEDEBUG=$E2E_STEP_WINEDEBUG bash "$2" >"$out" 2>&1 || rc=$?
    ((rc == 0)) || e2e_step_failed "$1" "$rc" "$out"
    cat "$out"
    rm -f "$out"
    return "$rc"
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
# folder and the installer's package cache with checksums. A key that does not
# exist reads "no key"; an export that fails otherwise fails the scenario with
# its reason and the snapshot returns 1. Needs expected_clean_machine.sh.
e2e_snapshot() {
    local views=(64 32) key view i=0 args=() id snap=$E2E_WORK/snapshot rc status=0
    mkdir -p "$snap"
    [[ $E2E_WINDOWS == win32 ]] && views=(32)
    for key in 'HKLM\Software\NerovanDrv' 'HKLM\System\CurrentControlSet\Enum\USB' \
        'HKLM\Software\Classes\Installer\Products' 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'; do
        for view in "${views[@]}"; do
            rm -f "$snap/$i.reg"
            echo "== $key ($view)"
            args=(export "$key" "Z:${snap//\//\\}\\$i.reg" /y)
            [[ $E2E_WINDOWS == win32 ]] || args+=("/reg:$view")
            rc=0
            e2e_reg "${args[@]}" >/dev/null || rc=$?
            case $rc in
            0) iconv -f UTF-16LE -t UTF-8 "$snap/$i.reg" ;;
            1) echo "no key" ;;
            *) echo "export failed"; status=1 ;;
            esac
            i=$((i + 1))
        done
    done
    args=()
    for id in "${E2E_HARDWARE_IDS[@]}"; do args+=("nodes:$id"); done
    echo "== nodes"
    e2e_wine "$NRV_FIXTURES/devices_fixture.exe" report "${args[@]}" | tr -d '\r' || status=1
    echo "== INF folder"
    (cd "$(e2e_unix_path 'C:\windows\inf')" && find . -type f -exec md5sum {} + | LC_ALL=C sort -k2)
    echo "== package cache"
    (cd "$(e2e_unix_path 'C:\windows\Installer')" && find . -type f -exec md5sum {} + | LC_ALL=C sort -k2)
    return "$status"
}

# e2e_expect_unchanged WHAT BEFORE: passes if e2e_snapshot now prints the
# file BEFORE (its earlier output), else fails with the difference.
e2e_expect_unchanged() {
    local now=$E2E_WORK/snapshot-now.txt
    if ! e2e_snapshot >"$now"; then
        e2e_fail "$1: the snapshot could not be taken (above)"
    elif cmp -s "$2" "$now"; then
        e2e_pass "$1"
    else
        e2e_fail "$1: the machine changed (- before, + now)"
        diff -u "$2" "$now" | tail -n +3 | head -40 || true
    fi
}
