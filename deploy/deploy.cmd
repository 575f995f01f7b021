@echo off
rem Unattended installation for deployment tools (Configuration Manager, Intune, scripts).
rem Runs the bootstrapper beside this file with -silent -norestart -QuorlArgs /qn (and any
rem options given here) and ends with its exit code, with one change: when the run succeeded
rem and left a pending restart (the key HKCU\Software\NeedBstrReboot), the key is removed and
rem the exit code is 3010, so that the deployment tool restarts the computer and no later run
rem of the bootstrapper restarts it again. /qn: nobody sees the windows of a deployment tool's
rem session, and msiexec's basic UI (/qb) can still stop at an error box there.
setlocal
start "" /wait "%~dp0bootstrapper.exe" -silent -norestart -QuorlArgs /qn %*
set code=%ERRORLEVEL%
if not "%code%"=="0" exit /b %code%
reg query "HKCU\Software\NeedBstrReboot" /reg:32 >nul 2>&1
if errorlevel 1 exit /b 0
reg delete "HKCU\Software\NeedBstrReboot" /reg:32 /f >nul 2>&1
exit /b 3010
