#!/bin/bash
# Checks a built program as a file: machine type, console subsystem, no
# debug sections, the DLLs it imports and that each imported function is
# exported by that system DLL (Wine's PE DLLs of the same architecture stand
# in for Windows'), its manifest and its version resource.
# cmake/E2E.cmake gives NRV_VERSION, the project's version.
source "$(dirname "$0")/../check.sh"
ok() { check_ok "$@"; }
fail() { check_fail "$@"; }
exe=$1 arch=$2 objdump=$3 source_dir=$4 pe_imports=$5 system_dlls=$6
: "${NRV_VERSION:?}"

[[ -f $exe ]] || { echo "missing program: $exe"; exit 1; }
headers=$("$objdump" -p "$exe")

case $arch in
    x64) format=pei-x86-64 magic=020b ;;
    x86) format=pei-i386 magic=010b ;;
esac
"$objdump" -f "$exe" | grep -q "file format $format" && ok "format $format" || fail "not $format"
grep -q "^Magic[[:space:]]*$magic" <<<"$headers" && ok "magic $magic" || fail "magic is not $magic"
grep -q "^Subsystem[[:space:]]*00000003" <<<"$headers" && ok "console subsystem" || fail "not a console program"
"$objdump" -h "$exe" | grep -q '\.debug_' && fail "debug sections in the program" || ok "no debug sections"

# Exactly the system DLLs the program needs; no runtime DLL of the compiler.
expected_imports=$(printf '%s\n' $(cat "$(dirname "$0")/expected_imports.txt") | LC_ALL=C sort)
imports=$(grep "DLL Name:" <<<"$headers" | awk '{print tolower($3)}' | LC_ALL=C sort)
if [[ $imports == "$expected_imports" ]]; then ok "imports: $(echo $imports)"; else fail "imports: $(echo $imports), expected: $(echo $expected_imports)"; fi

grep -q "TERMINAL_SERVICE_AWARE" <<<"$headers" && ok "terminal-server aware" || fail "not terminal-server aware"

# msi.dll is delay-loaded, after the DLL search is limited to the system
# directory: it must not be in the ordinary import table. The limit is set
# through a function that Windows 7 has only with an update, so it is looked
# up at run time and imported by neither table; LoadLibraryW and
# SetDllDirectoryW stand in where it is missing.
functions=$("$pe_imports" imports "$exe")
# Nor any other function that Windows 7 lacks (without its updates): the
# loader would refuse the program before it prints anything.
newer=$(grep -E " (SetDefaultDllDirectories|SetProcessMitigationPolicy|AddDllDirectory|RemoveDllDirectory|GetSystemTimePreciseAsFileTime|CreateFile2|SetThreadDescription|GetCurrentPackageId)$" <<<"$functions" || true)
[[ -z $newer ]] && ok "imports nothing newer than Windows 7" || fail "imports what Windows 7 lacks: $(echo $newer)"
for function in GetProcAddress SetDllDirectoryW LoadLibraryW; do
    grep -qx "import kernel32.dll $function" <<<"$functions" || fail "does not import $function"
done
for function in SetDefaultDllDirectories SetProcessMitigationPolicy; do
    grep -aq "$function" "$exe" && ok "looks $function up" || fail "does not look $function up"
done
grep -q "^delay msi\.dll " <<<"$functions" && ok "delay-loads msi.dll" || fail "no delay-load of msi.dll"
missing=0
for function in $(grep -oE '^ +Msi[A-Za-z]+' "$source_dir/cmake/msi-x64.def"); do
    grep -qx "delay msi.dll $function" <<<"$functions" || { fail "no delay-load of $function"; missing=1; }
done
((missing == 0)) && ok "every installer function delay-loaded"

# Each function resolves where Windows will look for it, by the name in the
# table: a stdcall-decorated name (MsiOpenDatabaseW@12) would not.
unresolved=0
for dll in $(awk '{print $2}' <<<"$functions" | sort -u); do
    [[ -f $system_dlls/$dll ]] || { fail "no $dll in $system_dlls (scripts/fetch-wine-dlls.sh)"; unresolved=1; continue; }
    exported=$("$pe_imports" exports "$system_dlls/$dll")
    for function in $(awk -v dll="$dll" '$2 == dll {print $3}' <<<"$functions"); do
        grep -qxF "$function" <<<"$exported" || { fail "$dll does not export $function"; unresolved=1; }
    done
done
((unresolved == 0)) && ok "all $(wc -l <<<"$functions") imported functions resolve"

grep -aq "$source_dir" "$exe" && fail "a build path is in the program" || ok "no build path in the program"

grep -aq 'level="requireAdministrator" uiAccess="false"' "$exe" && ok "manifest requests administrator" || fail "no requireAdministrator manifest"
versions=$(strings -e l "$exe")
grep -qx "Nerovan Driver Cleanup utility" <<<"$versions" && ok "product name" || fail "no product name in the version resource"
grep -qxF "$NRV_VERSION" <<<"$versions" && ok "version $NRV_VERSION" || fail "no version $NRV_VERSION in the version resource"
grep -aqF "version=\"$NRV_VERSION.0\"" "$exe" && ok "manifest version $NRV_VERSION.0" || fail "no version $NRV_VERSION.0 in the manifest"

# The events' message table, for Event Viewer: one block from the first id
# of src/run/run_events.mc to its last.
ids=$(sed -n 's/^MessageId=//p' "$source_dir/src/run/run_events.mc" | tr -d '\r')
block=$(printf '0x1L , 0x%xL , 0x%xL' "$(head -n 1 <<<"$ids")" "$(tail -n 1 <<<"$ids")")
table=$("${objdump%objdump}windres" -i "$exe" -O rc 2>/dev/null | tr -s ' ' | grep -A2 'RT_MESSAGETABLE' | tail -n 1)
[[ $table == *"$block"* ]] && ok "message table of ids $(echo $ids)" || fail "no message table of ids $(echo $ids): $table"

# deploy/detect.ps1, which PowerShell cannot run here: Configuration Manager
# reads a detection script's non-zero exit code, or anything on its error
# stream, as a failed detection ("Unknown"), not as "not installed". It ends
# with "exit 0", has no other exit, and writes nothing to the error stream.
if [[ $arch == x64 ]]; then
    detect=$(sed 's/#.*//; s/\r$//' "$source_dir/deploy/detect.ps1" | grep -v '^[[:space:]]*$')
    wrong=$(grep -inE '\bexit\b|\bthrow\b|write-(error|warning)|\[console\]::error|errorline|::exit|2>&1' <<<"$detect" |
        grep -vx '[0-9]*:exit 0' || true)
    [[ -z $wrong && $(tail -n 1 <<<"$detect") == "exit 0" ]] && ok "detect.ps1 always exits 0, writes no error" ||
        fail "detect.ps1 may exit non-zero or write to the error stream: $(echo $wrong) (last line: $(tail -n 1 <<<"$detect"))"
fi

check_done
