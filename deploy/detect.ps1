# Detection script for the Intune Win32 app and the Configuration Manager
# application (deploy\README.md): the app counts as installed when the program
# that install.cmd put in Program Files says "NRV-CHECK: CLEAN". It always
# exits with 0 and writes nothing on the error stream, so that a machine where
# the program is not there yet, or not clean, is "not installed" and never
# "Unknown" (Configuration Manager reads a non-zero exit code, or anything on
# the error stream, as a failed detection).
$ErrorActionPreference = 'SilentlyContinue'
$folder = if ($env:ProgramW6432) { $env:ProgramW6432 } else { $env:ProgramFiles }
$name = 'NrvDriverCleanupx86.exe'
if ($env:PROCESSOR_ARCHITECTURE -eq 'AMD64' -or $env:PROCESSOR_ARCHITEW6432 -eq 'AMD64') { $name = 'NrvDriverCleanupx64.exe' }
$program = Join-Path $folder "NrvDriverCleanup\$name"
try {
    if (Test-Path -LiteralPath $program -PathType Leaf) {
        $lines = & $program /check 2>$null
        if ($LASTEXITCODE -eq 0 -and $lines -contains 'NRV-CHECK: CLEAN') {
            'Nerovan scanner drivers removed (NRV-CHECK: CLEAN)'
        }
    }
} catch {
}
exit 0
