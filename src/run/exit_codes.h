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
// Another installation held Windows Installer, or another run held the program's mutex,
// for longer than the run may wait; Windows Installer's own code for it.
constexpr Dword kExitInstallationInProgress = kErrorInstallAlreadyRunning;  // 1618
// The help was due for an argument, and nobody can see it.
constexpr Dword kExitInvalidCommandLine = kErrorInvalidCommandLine;  // 1639
// A file the run would use is not one the release was made with (ERROR_INSTALL_PACKAGE_INVALID).
constexpr Dword kExitReleaseFileMismatch = kErrorInstallPackageInvalid;

}  // namespace boot
