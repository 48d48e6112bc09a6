# The checks every shell test shares; tests/README.md lists them and tells how
# to write a test. Sourcing it only defines functions and the exit trap that
# runs the clean-ups added with at_exit (the last added first).
set -euo pipefail

CHECK_SKIP=77
# Each failure is also kept in a file and listed again when the test ends,
# so that a check made in a subshell (a command substitution, a pipeline) or
# under a redirection still fails the test and is still seen.
CHECK_FAILURES_FILE=$(mktemp /tmp/nrv-check-failures-XXXXXX)

check_ok() { echo "ok: $*"; }

check_fail() {
    echo "FAIL: $*" >&2
    echo "FAIL: $*" >>"$CHECK_FAILURES_FILE"
}

check_failures() { grep -c '^FAIL: ' "$CHECK_FAILURES_FILE" || true; }

# Lists the failures kept, once, as the test's last words; returns 1 if any.
check_list_failures() {
    [[ -s $CHECK_FAILURES_FILE ]] || return 0
    echo "$(check_failures) check(s) failed:"
    cat "$CHECK_FAILURES_FILE"
    : >"$CHECK_FAILURES_FILE"
    return 1
}

check_eq() {
    local what=$1 actual=$2 expected=$3
    if [[ $actual == "$expected" ]]; then check_ok "$what"; else check_fail "$what: got '$actual', expected '$expected'"; fi
}

check_bytes() {
    local what=$1 file=$2 expected=$3
    if [[ ! -f $file ]]; then check_fail "$what: no file $file"; return; fi
    if cmp -s "$file" <(printf '%s' "$expected"); then
        check_ok "$what"
    else
        check_fail "$what differs"
        diff <(printf '%s' "$expected" | od -c) <(od -c "$file") | head -40 || true
    fi
}

check_done() {
    check_list_failures || exit 1
    echo "all checks passed"
}

skip() {
    echo "SKIPPED: $*"
    exit "$CHECK_SKIP"
}

# require PREREQUISITE...: skips the test, with the reason, unless each holds.
#   root       runs as root
#   chattr     chattr can make a folder immutable here (root, and a file
#              system that has the flag)
#   msibuild   msitools' msibuild is installed
#   i386       32-bit Wine can run here (see tests/README.md, "The 32-bit program")
#   services   Wine's services run in the prefix (not the 32-bit Windows under qemu)
require() {
    local need probe
    for need in "$@"; do
        case $need in
        root) [[ $(id -u) -eq 0 ]] || skip "needs root" ;;
        chattr)
            command -v chattr >/dev/null || skip "needs chattr (package e2fsprogs)"
            probe=$(mktemp -d /tmp/nrv-chattr-XXXXXX)
            if chattr +i "$probe" 2>/dev/null; then
                chattr -i "$probe"
                rmdir "$probe"
            else
                rmdir "$probe"
                skip "chattr +i does not work here (needs root and a file system with the immutable flag)"
            fi
            ;;
        msibuild) command -v msibuild >/dev/null || skip "needs msibuild (package msitools)" ;;
        i386) check_i386 ;;
        services)
            [[ -z ${E2E_NO_SERVICES-} ]] ||
                skip "Wine's services do not run for the 32-bit Windows under qemu (one descriptor table for all threads of a process)"
            ;;
        *) echo "require: unknown prerequisite '$need'" >&2; exit 2 ;;
        esac
    done
}

# i386: the route e2e_x86_emulation_on chose for this build tree, recorded in
# NRV_X86_STATE: "native" (the kernel runs i386 programs), "unavailable"
# (holding the reason), or neither, when a binfmt handler runs them under qemu.
check_i386() {
    : "${NRV_X86_STATE:?}" "${NRV_E2E_DIR:?}"
    local handler
    handler=/proc/sys/fs/binfmt_misc/$(bash "$NRV_E2E_DIR/emulation/binfmt.sh" name "$(dirname "$NRV_X86_STATE")")
    if [[ -f $NRV_X86_STATE/unavailable ]]; then
        skip "$(cat "$NRV_X86_STATE/unavailable")"
    elif [[ ! -e $handler && ! -f $NRV_X86_STATE/native ]]; then
        skip "$handler is not registered (the e2e_x86_emulation_on test registers it)"
    fi
}

CHECK_CLEANUPS=()
at_exit() { CHECK_CLEANUPS+=("$1"); }

# Runs the clean-ups, the last added first, each once, whatever they return.
check_run_cleanups() {
    local i
    for ((i = ${#CHECK_CLEANUPS[@]} - 1; i >= 0; i--)); do
        local command=${CHECK_CLEANUPS[$i]}
        unset "CHECK_CLEANUPS[$i]"
        eval "$command" || true
    done
    CHECK_CLEANUPS=()
}
# A command that fails outside a check ends the script (set -e): say which,
# so that such an end is never silent.
trap 'CHECK_STATUS=$?; [[ $- != *e* ]] || echo "FAIL: ended early: \"$BASH_COMMAND\" returned $CHECK_STATUS (line $LINENO of ${BASH_SOURCE[0]##*/})" >&2' ERR
# A failure kept but not listed yet (a test ended early) is listed, and fails
# the test.
trap 'CHECK_STATUS=$?; check_run_cleanups; check_list_failures || ((CHECK_STATUS)) || CHECK_STATUS=1
      rm -f "$CHECK_FAILURES_FILE"; exit $CHECK_STATUS' EXIT

# check_table KIND: the entries of one table of tests/data/tables.txt
# (upgrade-code, hardware-id), one per line, in order.
CHECK_TABLES=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/data/tables.txt
check_table() {
    sed -n "s/^$1 //p" "$CHECK_TABLES" | tr -d '\r'
}
