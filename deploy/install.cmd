@echo off
rem Removes the Nerovan scanner drivers, unattended, as a deployment tool runs
rem it (Intune Win32 app, Configuration Manager Script Installer, PsExec -s):
rem copies the program for this Windows into Program Files\NrvDriverCleanup,
rem runs it with /quiet and its logs in %SystemRoot%\Logs\NrvDriverCleanup,
rem and exits with its exit code (0, 3010, 1618, 1603, or -1: the run could not
rem start). A step of its own that fails: one line saying which, exit code 1603.
rem Both programs must lie beside this file. A folder "packages" beside it holds
rem the vendor's original driver packages, for products whose cached package is
rem gone: it is passed as /packages:. See deploy\README.md.
rem
rem Only administrators can write under Program Files and the Windows folder,
rem so no other user can plant or swap the program or a log there.
rem No parenthesised blocks: a path with "(x86)" in it would end one early.
rem Every path is quoted, in echo lines too: this folder's may hold "&".
setlocal
set "NRV_PROGRAM="
if /i "%PROCESSOR_ARCHITECTURE%"=="ARM64" goto arm64
if /i "%PROCESSOR_ARCHITEW6432%"=="ARM64" goto arm64
rem Intune runs this script as a 32-bit process on 64-bit Windows: there
rem PROCESSOR_ARCHITEW6432 names the machine and ProgramW6432 is the native
rem Program Files (ProgramFiles is "Program Files (x86)").
set "NRV_PROGRAM=NrvDriverCleanupx86.exe"
set "NRV_FOLDER=%ProgramFiles%\NrvDriverCleanup"
if /i "%PROCESSOR_ARCHITECTURE%"=="AMD64" set "NRV_PROGRAM=NrvDriverCleanupx64.exe"
if /i "%PROCESSOR_ARCHITEW6432%"=="AMD64" set "NRV_PROGRAM=NrvDriverCleanupx64.exe"
if "%NRV_PROGRAM%"=="NrvDriverCleanupx64.exe" if defined ProgramW6432 set "NRV_FOLDER=%ProgramW6432%\NrvDriverCleanup"
set "NRV_LOGS=%SystemRoot%\Logs\NrvDriverCleanup"

if not exist "%~dp0%NRV_PROGRAM%" goto no_program
rem "folder\*" exists for a folder only (Wine's cmd finds a file as "file\" too).
if not exist "%NRV_FOLDER%\*" mkdir "%NRV_FOLDER%" >nul 2>&1
if not exist "%NRV_FOLDER%\*" goto no_folder
if not exist "%NRV_LOGS%\*" mkdir "%NRV_LOGS%" >nul 2>&1
if not exist "%NRV_LOGS%\*" goto no_logs
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

if exist "%~dp0packages\*" goto with_packages
"%NRV_FOLDER%\%NRV_PROGRAM%" /quiet "/logdir:%NRV_LOGS%"
exit /b %ERRORLEVEL%
:with_packages
"%NRV_FOLDER%\%NRV_PROGRAM%" /quiet "/logdir:%NRV_LOGS%" "/packages:%~dp0packages"
exit /b %ERRORLEVEL%

:arm64
echo install.cmd: Windows on ARM is not supported; nothing was run.
exit /b 1603
:no_program
echo install.cmd: %NRV_PROGRAM% is not beside install.cmd in "%~dp0"
exit /b 1603
:no_folder
echo install.cmd: cannot make the folder "%NRV_FOLDER%"
exit /b 1603
:no_logs
echo install.cmd: cannot make the log folder "%NRV_LOGS%"
exit /b 1603
:no_copy
echo install.cmd: cannot copy %NRV_PROGRAM% to "%NRV_FOLDER%"
exit /b 1603
