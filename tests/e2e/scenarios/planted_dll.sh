#!/bin/bash
# arch: x64 x86
# An msi.dll planted beside the program and in the working directory is never
# loaded. Wine would take its own msi.dll first anyway; the override makes it
# search for a DLL file first, as Windows does for DLLs outside its fixed list.
source "$NRV_E2E_DIR/lib.sh"
planted=$(dirname "$E2E_EXE")/planted/msi.dll
[[ -f $planted ]] || { e2e_fail "missing $planted (build the win-x64 and win-x86 presets)"; e2e_finish; }
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;msi=n,b"

dir=$E2E_WORK/downloads
mkdir -p "$dir"
cp "$E2E_EXE" "$planted" "$dir/"
E2E_EXE=$dir/$(basename "$E2E_EXE")
e2e_run 'y\n' "$dir"
e2e_expect_eq "exit code" "$E2E_RC" 0
e2e_expect_eq "planted DLL beside the program not loaded" \
    "$(ls "$dir" | grep -c PLANTED_MSI_DLL_LOADED || true)" 0

work=$E2E_WORK/work
mkdir -p "$work"
cp "$planted" "$work/"
e2e_run 'y\n' "$work"
e2e_expect_eq "planted DLL in the working directory not loaded" \
    "$(ls "$work" | grep -c PLANTED_MSI_DLL_LOADED || true)" 0

# The same planting does take effect on a program that imports msi.dll the
# ordinary way, so the checks above can fail.
probe=$E2E_WORK/probe
mkdir -p "$probe"
cp "$planted" "$(dirname "$planted")/imports_msi.exe" "$probe/"
(cd "$probe" && e2e_wine ./imports_msi.exe >/dev/null 2>&1 || true)
e2e_wait
e2e_expect_eq "the planted DLL is loadable from the folder" \
    "$(ls "$probe" | grep -c PLANTED_MSI_DLL_LOADED || true)" 1
e2e_finish
