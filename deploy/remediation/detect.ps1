# Intune Remediations, detection script (deploy\README.md): exit code 1, which
# runs remediate.ps1, when the program's /check finds something of the scanner
# or cannot tell (INCOMPLETE); 0 when it says CLEAN. Prints the verdict line,
# which the console's detection output column shows for each PC: deployed
# alone (without remediate.ps1) it is the fleet's inventory.
# Where the program is not staged (install.cmd /check or install.cmd has not
# run there) there is nothing to remediate: one line saying so, exit code 0.
$ErrorActionPreference = 'SilentlyContinue'
$folder = if ($env:ProgramW6432) { $env:ProgramW6432 } else { $env:ProgramFiles }
$name = 'NrvDriverCleanupx86.exe'
if ($env:PROCESSOR_ARCHITECTURE -eq 'AMD64' -or $env:PROCESSOR_ARCHITEW6432 -eq 'AMD64') { $name = 'NrvDriverCleanupx64.exe' }
$program = Join-Path $folder "NrvDriverCleanup\$name"
if (-not (Test-Path -LiteralPath $program -PathType Leaf)) {
    "Not staged: $program is missing (deploy the app made from install.cmd /check, or install.cmd, to check this PC)"
    exit 0
}
$lines = & $program /check 2>$null
$code = $LASTEXITCODE
$verdict = $lines | Where-Object { $_ -like 'NRV-CHECK: *' } | Select-Object -Last 1
"$verdict (exit code $code)"
if ($code -eq 0) { exit 0 }
exit 1
