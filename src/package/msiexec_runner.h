// Running msiexec on the plug-in package, with its verbose install log.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// Finds the package by `pluginPattern`, names the install log in `logPath` (unless the
// arguments already hold /l or /L), points the installed product's source list at the
// package, runs msiexec and waits. A restart request (3010, 3011, 1641) becomes the
// restart marker and 0; any other exit code or start error is returned unchanged.
// Messages 139, 144 and 152 (owned by the owner window) unless silent.
Dword RunMsiexec(RunContext& context, bool silent, std::wstring& logPath,
                 const std::wstring& installedProductCode, const std::wstring& pluginPattern,
                 const std::wstring& msiexecArgs);

// Removes one installed product: msiexec /x with `productCode`, by the same rules (the log,
// named quorlcom-uninstall_<productCode>_<time stamp>.log, REBOOT=R, the restart marker);
// msiexec's exit code, or the failing step's code.
Dword RemoveProduct(RunContext& context, bool silent, std::wstring& logPath,
                    const std::wstring& productCode, const std::wstring& msiexecArgs);

}  // namespace boot
