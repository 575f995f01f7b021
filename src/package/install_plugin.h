// Installing, upgrading or reinstalling the plug-in package.
#pragma once

#include <string>
#include <vector>

#include "run/run_context.h"

namespace boot {

// The full paths of the files that the plug-in step's searches find now, in the order the
// step searches: the package that gives the product codes, the one that names the product
// in the upgrade question, the one msiexec installs; empty where nothing is found.
std::vector<std::wstring> FindPluginFiles(RunContext& context);

// Returns 0 on success (a restart request has then become the restart marker), 1602 when
// the user declined, 1638 when a newer version is installed, else the failing step's code.
// logPath receives the install log that msiexec was asked to write.
Dword InstallPlugin(RunContext& context, bool silent, std::wstring& logPath, std::wstring quorlArgs,
                    bool reinstall);

}  // namespace boot
