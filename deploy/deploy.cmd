@echo off
rem Unattended installation for deployment tools (Configuration Manager, Intune, scripts).
rem Runs the bootstrapper beside this file with -silent -norestart -QuorlArgs /qn (and any
rem options given here) and ends with its exit code, with one change: when the run succeeded
rem and left a pending restart (the key HKCU\Software\NeedBstrReboot), the key is removed and
rem the exit code is 3010, so that the deployment tool restarts the computer and no later run
rem of the bootstrapper restarts it again. The key is looked up without /reg:32, which the
rem reg.exe of XP and Server 2003 does not know: HKCU\Software is not redirected under WoW64.
rem /qn: nobody sees the windows of a deployment tool's session, and msiexec's basic UI (/qb)
rem can still stop at an error box there.
setlocal
start "" /wait "%~dp0bootstrapper.exe" -silent -norestart -QuorlArgs /qn %*
set code=%ERRORLEVEL%
if not "%code%"=="0" exit /b %code%
reg query "HKCU\Software\NeedBstrReboot" >nul 2>&1
if errorlevel 1 exit /b 0
reg delete "HKCU\Software\NeedBstrReboot" /f >nul 2>&1
exit /b 3010
