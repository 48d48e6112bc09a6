#!/bin/bash
# Checks a built program as a file: machine type, console subsystem, no
# debug sections, the DLLs it imports and that each imported function is
# exported by that system DLL (Wine's PE DLLs of the same architecture stand
# in for Windows'), its manifest and its version resource.
# cmake/E2E.cmake gives NRV_VERSION, the project's version.
source "$(dirname "$0")/../check.sh"
exe=$1 arch=$2 objdump=$3 source_dir=$4 pe_imports=$5 system_dlls=$6
: "${NRV_VERSION:?}"

[[ -f $exe ]] || { echo "missing program: $exe"; exit 1; }
headers=$("$objdump" -p "$exe")

case $arch in
    x64) format=pei-x86-64 magic=020b ;;
    x86) format=pei-i386 magic=010b ;;
esac
"$objdump" -f "$exe" | grep -q "file format $format" && check_ok "format $format" || check_fail "not $format"
grep -q "^Magic[[:space:]]*$magic" <<<"$headers" && check_ok "magic $magic" || check_fail "magic is not $magic"
grep -q "^Subsystem[[:space:]]*00000003" <<<"$headers" && check_ok "console subsystem" || check_fail "not a console program"
"$objdump" -h "$exe" | grep -q '\.debug_' && check_fail "debug sections in the program" || check_ok "no debug sections"

# Exactly the system DLLs the program needs; no runtime DLL of the compiler.
expected_imports=$(printf '%s\n' $(cat "$(dirname "$0")/expected_imports.txt") | LC_ALL=C sort)
imports=$(grep "DLL Name:" <<<"$headers" | awk '{print tolower($3)}' | LC_ALL=C sort)
if [[ $imports == "$expected_imports" ]]; then check_ok "imports: $(echo $imports)"; else check_fail "imports: $(echo $imports), expected: $(echo $expected_imports)"; fi

# msi.dll is delay-loaded, after the DLL search is limited to the system
# directory: it must not be in the ordinary import table.
grep -q "SetDefaultDllDirectories" <<<"$headers" && check_ok "imports SetDefaultDllDirectories" || check_fail "does not limit the DLL search"
functions=$("$pe_imports" imports "$exe")
grep -q "^delay msi\.dll " <<<"$functions" && check_ok "delay-loads msi.dll" || check_fail "no delay-load of msi.dll"
missing=0
for function in $(grep -oE '^ +Msi[A-Za-z]+' "$source_dir/cmake/msi-x64.def"); do
    grep -qx "delay msi.dll $function" <<<"$functions" || { check_fail "no delay-load of $function"; missing=1; }
done
((missing == 0)) && check_ok "every installer function delay-loaded"

# Each function resolves where Windows will look for it, by the name in the
# table: a stdcall-decorated name (MsiOpenDatabaseW@12) would not.
unresolved=0
for dll in $(awk '{print $2}' <<<"$functions" | sort -u); do
    [[ -f $system_dlls/$dll ]] || { check_fail "no $dll in $system_dlls (scripts/fetch-wine-dlls.sh)"; unresolved=1; continue; }
    exported=$("$pe_imports" exports "$system_dlls/$dll")
    for function in $(awk -v dll="$dll" '$2 == dll {print $3}' <<<"$functions"); do
        grep -qxF "$function" <<<"$exported" || { check_fail "$dll does not export $function"; unresolved=1; }
    done
done
((unresolved == 0)) && check_ok "all $(wc -l <<<"$functions") imported functions resolve"

grep -aq "$source_dir" "$exe" && check_fail "a build path is in the program" || check_ok "no build path in the program"

grep -aq 'level="requireAdministrator" uiAccess="false"' "$exe" && check_ok "manifest requests administrator" || check_fail "no requireAdministrator manifest"
versions=$(strings -e l "$exe")
grep -qx "Nerovan Driver Cleanup utility" <<<"$versions" && check_ok "product name" || check_fail "no product name in the version resource"
grep -qxF "$NRV_VERSION" <<<"$versions" && check_ok "version $NRV_VERSION" || check_fail "no version $NRV_VERSION in the version resource"
grep -aqF "version=\"$NRV_VERSION.0\"" "$exe" && check_ok "manifest version $NRV_VERSION.0" || check_fail "no version $NRV_VERSION.0 in the manifest"

check_done
