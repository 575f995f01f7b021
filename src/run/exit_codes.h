// Every exit code the bootstrapper decides on itself. Results of the CSP and plug-in
// installations (for example 1602 or 1638) are passed through as exit codes unchanged.
#pragma once

#include "platform/win_types.h"

namespace boot {

constexpr Dword kExitSuccess = 0;  // also: help shown, user said No, cancelled
constexpr Dword kExitNotAdministrator = 1;
constexpr Dword kExitUpgradeDeclined = 1;          // No to the upgrade question
constexpr Dword kExitInstalledVersionUnknown = 1;  // its length could not be read
constexpr Dword kExitWindows2000BelowSp4 = 3;
constexpr Dword kExitWindowsXpBelowSp2 = 4;
constexpr Dword kExitWindows2003BelowSp1 = 5;
constexpr Dword kExitRestartFailed = 7;
// Installed; Windows would not restart now (users are logged on, or a shutdown is scheduled),
// so the restart stays pending: what msiexec says in that case (ERROR_SUCCESS_REBOOT_REQUIRED).
constexpr Dword kExitRestartPending = kErrorSuccessRebootRequired;  // 3010
// The CSP's Setup.exe installed it and started a restart itself; nothing more was run.
constexpr Dword kExitRestartStarted = kErrorSuccessRebootInitiated;  // 1641
// Another installation held Windows Installer, or another run held the program's mutex,
// for longer than the run may wait; Windows Installer's own code for it.
constexpr Dword kExitInstallationInProgress = kErrorInstallAlreadyRunning;  // 1618
// The help was due for an argument, and nobody can see it.
constexpr Dword kExitInvalidCommandLine = kErrorInvalidCommandLine;  // 1639
// A file the run would use is not one the release was made with, or this Windows has no
// SHA-256 to tell (ERROR_INSTALL_PACKAGE_INVALID).
constexpr Dword kExitReleaseFileMismatch = kErrorInstallPackageInvalid;
// The folder of -log could not be made or written (ERROR_INSTALL_LOG_FAILURE); nothing ran.
constexpr Dword kExitLogFolderUnwritable = kErrorInstallLogFailure;  // 1622

}  // namespace boot
