# Intune Remediations, remediation script (deploy\README.md): runs the program
# with /quiet, its logs in %SystemRoot%\Logs\NrvDriverCleanup as install.cmd
# does; exit code 0 when it ends with 0 or 3010 (clean, or clean once the
# machine restarts; Remediations do not restart it), 1 otherwise. Prints the
# run's verdict line and exit code.
$ErrorActionPreference = 'SilentlyContinue'
$folder = if ($env:ProgramW6432) { $env:ProgramW6432 } else { $env:ProgramFiles }
$name = 'NrvDriverCleanupx86.exe'
if ($env:PROCESSOR_ARCHITECTURE -eq 'AMD64' -or $env:PROCESSOR_ARCHITEW6432 -eq 'AMD64') { $name = 'NrvDriverCleanupx64.exe' }
$program = Join-Path $folder "NrvDriverCleanup\$name"
$logs = Join-Path $env:SystemRoot 'Logs\NrvDriverCleanup'
if (-not (Test-Path -LiteralPath $program -PathType Leaf)) {
    "$program is missing: deploy the Win32 app (install.cmd) first"
    exit 1
}
if (-not (Test-Path -LiteralPath $logs -PathType Container)) { New-Item -ItemType Directory -Path $logs | Out-Null }
$lines = & $program /quiet "/logdir:$logs" 2>$null
$code = $LASTEXITCODE
$verdict = $lines | Where-Object { $_ -like 'NRV-CHECK: *' } | Select-Object -Last 1
"$verdict (exit code $code; run log in $logs)"
if ($code -eq 0 -or $code -eq 3010) { exit 0 }
exit 1
