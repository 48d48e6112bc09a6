@echo off
rem Removes what install.cmd put on this machine, as a deployment tool's
rem uninstall runs it (Intune Win32 app, Configuration Manager uninstall
rem program): the folder NrvDriverCleanup under Program Files (the program,
rem and a copy an update moved aside) and the registration of the event source
rem NrvDriverCleanup. The logs in %SystemRoot%\Logs\NrvDriverCleanup and the
rem events already written stay.
rem Exit code 0 when nothing of it is left, also when nothing was there.
rem Otherwise one line saying what is left, on the console and in install.log
rem in the log folder (when that folder exists), and:
rem   32  the program folder is still there (its program is running: run
rem       this again once it has ended)
rem    5  the event source's registration cannot be removed
rem No parenthesised blocks: a path with "(x86)" in it would end one early.
setlocal
set "NRV_LOGS=%SystemRoot%\Logs\NrvDriverCleanup"
set "NRV_SOURCE=HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\NrvDriverCleanup"
set "NRV_PATH="
rem install.cmd puts the 64-bit program under the native Program Files
rem (ProgramW6432 to a 32-bit process) and the 32-bit one under ProgramFiles.
set "NRV_LEFT="
set "NRV_FOLDER=%ProgramFiles%\NrvDriverCleanup"
rem "folder\*" exists for a folder only (Wine's cmd finds a file as "folder\" too).
if exist "%NRV_FOLDER%\*" rmdir /s /q "%NRV_FOLDER%" >nul 2>&1
if exist "%NRV_FOLDER%\*" set "NRV_LEFT=%NRV_FOLDER%"
if not defined ProgramW6432 goto folders_done
set "NRV_FOLDER=%ProgramW6432%\NrvDriverCleanup"
if exist "%NRV_FOLDER%\*" rmdir /s /q "%NRV_FOLDER%" >nul 2>&1
if exist "%NRV_FOLDER%\*" set "NRV_LEFT=%NRV_FOLDER%"
:folders_done

reg query "%NRV_SOURCE%" >nul 2>&1
if errorlevel 1 goto source_done
reg delete "%NRV_SOURCE%" /f >nul 2>&1
reg query "%NRV_SOURCE%" >nul 2>&1
if not errorlevel 1 goto source_left
:source_done
if defined NRV_LEFT goto folder_left
exit /b 0

:source_left
set "NRV_CODE=5"
set "NRV_REASON=cannot remove the registration of the event source NrvDriverCleanup"
goto fail
:folder_left
set "NRV_CODE=32"
set "NRV_REASON=cannot remove the folder (its program is running)"
set "NRV_PATH=%NRV_LEFT%"
goto fail
rem The line is put together with delayed expansion: a path's "&" or ")" is
rem then never read as part of the command.
:fail
setlocal EnableDelayedExpansion
set "NRV_LINE=uninstall.cmd: !NRV_REASON!"
if defined NRV_PATH set "NRV_LINE=!NRV_LINE! "!NRV_PATH!""
echo !NRV_LINE!
if exist "!NRV_LOGS!\*" >>"!NRV_LOGS!\install.log" echo %DATE% %TIME% !NRV_LINE!
exit /b %NRV_CODE%
