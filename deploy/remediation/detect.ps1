# Intune Remediations, detection script (deploy\README.md): exit code 1, which
# runs remediate.ps1, when the program's /check finds something of the scanner
# or cannot tell (INCOMPLETE, or the program is not installed: deploy the Win32
# app with install.cmd first); 0 when it says CLEAN. Prints the verdict line.
$ErrorActionPreference = 'SilentlyContinue'
$folder = if ($env:ProgramW6432) { $env:ProgramW6432 } else { $env:ProgramFiles }
$name = 'NrvDriverCleanupx86.exe'
if ($env:PROCESSOR_ARCHITECTURE -eq 'AMD64' -or $env:PROCESSOR_ARCHITEW6432 -eq 'AMD64') { $name = 'NrvDriverCleanupx64.exe' }
$program = Join-Path $folder "NrvDriverCleanup\$name"
if (-not (Test-Path -LiteralPath $program -PathType Leaf)) {
    "$program is missing: deploy the Win32 app (install.cmd) first"
    exit 1
}
$lines = & $program /check 2>$null
$code = $LASTEXITCODE
$verdict = $lines | Where-Object { $_ -like 'NRV-CHECK: *' } | Select-Object -Last 1
"$verdict (exit code $code)"
if ($code -eq 0) { exit 0 }
exit 1
