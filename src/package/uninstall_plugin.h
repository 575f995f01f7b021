// Removing the plug-in: every installed product of its family, whatever its version.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// Reads the UpgradeCode of the package that an install run takes the product codes from
// (message 151 unless silent when it cannot), and removes every installed product of that
// UpgradeCode with msiexec /x, one after the other, by the install's rules: a log each,
// REBOOT=R, the UI option and `quorlArgs`. msiexec's 0 and 1605 (gone already) count as
// removed; a restart request becomes the restart marker. Returns 0 when every product is
// gone, or none was installed; else the first failing code, with logPath naming its log.
Dword UninstallPlugin(RunContext& context, bool silent, std::wstring& logPath,
                      const std::wstring& quorlArgs);

}  // namespace boot
