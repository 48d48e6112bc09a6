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

# e2e_run_stdin DIR: runs the cleanup in working directory DIR, reading this
# call's standard input; sets E2E_RC and E2E_CONSOLE (a file). Standard error
# (Wine's traces, with WINEDEBUG) goes to the file E2E_STDERR if set.
e2e_run_stdin() {
    local dir=$1
    mkdir -p "$dir"
    E2E_CONSOLE=$E2E_WORK/console-$RANDOM.bin
    set +e
    (cd "$dir" && timeout "$E2E_TIMEOUT" "$E2E_WINE" "$E2E_EXE" >"$E2E_CONSOLE" 2>"${E2E_STDERR:-/dev/null}")
    E2E_RC=$?
    set -e
    e2e_wait
}

# e2e_run ANSWER DIR: the same with ANSWER (printf format) piped in.
e2e_run() { e2e_run_stdin "$2" < <(printf "$1"); }

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
