@echo off
rem Removes the Nerovan scanner drivers, unattended, as a deployment tool runs
rem it (Intune Win32 app, Configuration Manager Script Installer, PsExec -s):
rem copies the program for this Windows into Program Files\NrvDriverCleanup,
rem registers it as the message file of the event source NrvDriverCleanup,
rem runs it with /quiet and its logs in %SystemRoot%\Logs\NrvDriverCleanup,
rem and exits with its exit code (0, 3010, 1618, 1603, or -1: the run could not
rem start).
rem "install.cmd /check" stages the program the same way and runs /check
rem instead, its output kept in check.txt in the log folder: it removes
rem nothing and exits 0 once the program is staged, whatever the verdict.
rem Both programs must lie beside this file. A folder "packages" beside it holds
rem the vendor's original driver packages, for products whose cached package is
rem gone: it is passed as /packages:. See deploy\README.md.
rem
rem A step of its own that fails: one line saying which, on the console and
rem in install.log in the log folder (when that folder exists), the program
rem not run, and an exit code of its own (1603 stays the program's "something
rem of the scanner is left"):
rem   87  an argument other than /check
rem   50  Windows on Arm
rem    3  the log folder cannot be made
rem    2  a program is not beside install.cmd
rem   82  the program folder cannot be made
rem   32  the program cannot be copied there (the one there is in use)
rem A source registration that fails stops nothing (the events still carry
rem their strings): its line goes to install.log.
rem
rem Only administrators can write under Program Files and the Windows folder,
rem so no other user can plant or swap the program or a log there.
rem No parenthesised blocks: a path with "(x86)" in it would end one early.
rem Every path is quoted, in echo lines too: this folder's may hold "&".
rem Under Wine 8, "command || exit /b N" ends the batch with 0: each result is
rem tested on a line of its own.
setlocal
set "NRV_LOGS=%SystemRoot%\Logs\NrvDriverCleanup"
set "NRV_SOURCE=HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\NrvDriverCleanup"
set "NRV_PROGRAM="
set "NRV_PATH="
rem "folder\*" exists for a folder only (Wine's cmd finds a file as "folder\" too).
if not exist "%NRV_LOGS%\*" mkdir "%NRV_LOGS%" >nul 2>&1
set "NRV_MODE=quiet"
if /i "%~1"=="/check" set "NRV_MODE=check"
if not "%~2"=="" goto bad_argument
if not "%~1"=="" if not "%NRV_MODE%"=="check" goto bad_argument
if /i "%PROCESSOR_ARCHITECTURE%"=="ARM64" goto arm64
if /i "%PROCESSOR_ARCHITEW6432%"=="ARM64" goto arm64
if not exist "%NRV_LOGS%\*" goto no_logs
rem Intune runs this script as a 32-bit process on 64-bit Windows: there
rem PROCESSOR_ARCHITEW6432 names the machine and ProgramW6432 is the native
rem Program Files (ProgramFiles is "Program Files (x86)").
set "NRV_PROGRAM=NrvDriverCleanupx86.exe"
set "NRV_FOLDER=%ProgramFiles%\NrvDriverCleanup"
if /i "%PROCESSOR_ARCHITECTURE%"=="AMD64" set "NRV_PROGRAM=NrvDriverCleanupx64.exe"
if /i "%PROCESSOR_ARCHITEW6432%"=="AMD64" set "NRV_PROGRAM=NrvDriverCleanupx64.exe"
if "%NRV_PROGRAM%"=="NrvDriverCleanupx64.exe" if defined ProgramW6432 set "NRV_FOLDER=%ProgramW6432%\NrvDriverCleanup"

if not exist "%~dp0%NRV_PROGRAM%" goto no_program
if not exist "%NRV_FOLDER%\*" mkdir "%NRV_FOLDER%" >nul 2>&1
if not exist "%NRV_FOLDER%\*" goto no_folder
rem A copy an earlier run moved aside (below) goes once nothing runs it.
if exist "%NRV_FOLDER%\%NRV_PROGRAM%.old" del /f /q "%NRV_FOLDER%\%NRV_PROGRAM%.old" >nul 2>&1
copy /y "%~dp0%NRV_PROGRAM%" "%NRV_FOLDER%\%NRV_PROGRAM%" >nul 2>&1
if not errorlevel 1 goto copied
rem The installed program is running (a detection or a Remediation runs it):
rem Windows lets a running program's file be renamed, not overwritten. Move it
rem aside and copy again; only the second copy's result counts (Wine's move
rem reports 1 even when it renamed the file).
move /y "%NRV_FOLDER%\%NRV_PROGRAM%" "%NRV_FOLDER%\%NRV_PROGRAM%.old" >nul 2>&1
copy /y "%~dp0%NRV_PROGRAM%" "%NRV_FOLDER%\%NRV_PROGRAM%" >nul 2>&1
if errorlevel 1 goto no_copy
:copied

rem Event Viewer finds the events' texts in the program's message table.
reg add "%NRV_SOURCE%" /v EventMessageFile /t REG_EXPAND_SZ /d "%NRV_FOLDER%\%NRV_PROGRAM%" /f >nul 2>&1
if errorlevel 1 goto no_source
reg add "%NRV_SOURCE%" /v TypesSupported /t REG_DWORD /d 7 /f >nul 2>&1
if errorlevel 1 goto no_source
:registered

set "NRV_PACKAGES="
if exist "%~dp0packages\*" set "NRV_PACKAGES=/packages:%~dp0packages"
if "%NRV_MODE%"=="check" goto check
if defined NRV_PACKAGES goto with_packages
"%NRV_FOLDER%\%NRV_PROGRAM%" /quiet "/logdir:%NRV_LOGS%"
exit /b %ERRORLEVEL%
:with_packages
"%NRV_FOLDER%\%NRV_PROGRAM%" /quiet "/logdir:%NRV_LOGS%" "%NRV_PACKAGES%"
exit /b %ERRORLEVEL%
:check
if defined NRV_PACKAGES goto check_with_packages
"%NRV_FOLDER%\%NRV_PROGRAM%" /check >"%NRV_LOGS%\check.txt" 2>&1
exit /b 0
:check_with_packages
"%NRV_FOLDER%\%NRV_PROGRAM%" /check "%NRV_PACKAGES%" >"%NRV_LOGS%\check.txt" 2>&1
exit /b 0

:no_source
>>"%NRV_LOGS%\install.log" echo %DATE% %TIME% install.cmd: cannot register the event source NrvDriverCleanup; its events show their strings alone
goto registered

:bad_argument
set "NRV_CODE=87"
set "NRV_REASON=the one argument it takes is /check; nothing was run."
goto fail
:arm64
set "NRV_CODE=50"
set "NRV_REASON=Windows on ARM is not supported; nothing was run."
goto fail
:no_logs
set "NRV_CODE=3"
set "NRV_REASON=cannot make the log folder"
set "NRV_PATH=%NRV_LOGS%"
goto fail
:no_program
set "NRV_CODE=2"
set "NRV_REASON=%NRV_PROGRAM% is not beside install.cmd in"
set "NRV_PATH=%~dp0"
goto fail
:no_folder
set "NRV_CODE=82"
set "NRV_REASON=cannot make the folder"
set "NRV_PATH=%NRV_FOLDER%"
goto fail
:no_copy
set "NRV_CODE=32"
set "NRV_REASON=cannot copy %NRV_PROGRAM% to"
set "NRV_PATH=%NRV_FOLDER%"
goto fail
rem The line is put together with delayed expansion: a path's "&" or ")" is
rem then never read as part of the command.
:fail
setlocal EnableDelayedExpansion
set "NRV_LINE=install.cmd: !NRV_REASON!"
if defined NRV_PATH set "NRV_LINE=!NRV_LINE! "!NRV_PATH!""
echo !NRV_LINE!
if exist "!NRV_LOGS!\*" >>"!NRV_LOGS!\install.log" echo %DATE% %TIME% !NRV_LINE!
exit /b %NRV_CODE%
