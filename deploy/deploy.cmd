@echo off
rem Unattended installation for deployment tools (Configuration Manager, Intune, scripts).
rem Runs the bootstrapper beside this file with -silent -norestart (and any options given
rem here) and ends with its exit code, with one change: when the run succeeded and left a
rem pending restart (the key HKCU\Software\NeedBstrReboot), the key is removed and the exit
rem code is 3010, so that the deployment tool restarts the computer and no later run of the
rem bootstrapper restarts it again.
setlocal
start "" /wait "%~dp0bootstrapper.exe" -silent -norestart %*
set code=%ERRORLEVEL%
if not "%code%"=="0" exit /b %code%
reg query "HKCU\Software\NeedBstrReboot" /reg:32 >nul 2>&1
if errorlevel 1 exit /b 0
reg delete "HKCU\Software\NeedBstrReboot" /reg:32 /f >nul 2>&1
exit /b 3010
