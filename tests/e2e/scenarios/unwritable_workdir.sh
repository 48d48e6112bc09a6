#!/bin/bash
# arch: x64 x86
# needs: root
# A working directory the program cannot write to: no run log, so the run
# stops with "Can't create log file" and exit code -1 (255 under Wine).
source "$NRV_E2E_DIR/lib.sh"

dir=$E2E_WORK/readonly
mkdir -p "$dir"
if ! chattr +i "$dir" 2>/dev/null; then
    mount --bind "$dir" "$dir" && mount -o remount,ro,bind "$dir" || { e2e_fail "cannot make $dir read-only"; e2e_finish; }
    at_exit 'umount "$dir" 2>/dev/null'
fi
if touch "$dir/probe" 2>/dev/null; then e2e_fail "$dir is still writable"; e2e_finish; fi

e2e_run 'y\n' "$dir"
e2e_expect_eq "exit code" "$E2E_RC" 255
e2e_lines error "Can't create log file"
e2e_expect_bytes "console" "$E2E_CONSOLE" "$E2E_BANNER$error"
e2e_expect_eq "files left" "$(e2e_files "$dir")" ""
e2e_finish
