// The checks made before anything is installed: administrator rights and the Windows
// release with its service pack, and the service-pack test they rest on.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// 0 for an administrator, else 1 (after message 101 unless silent).
Dword CheckAdministrator(RunContext& context, bool silent, const std::wstring& caption);

// 0 when the release may be installed on, else 3, 4 or 5 (after its message unless silent).
Dword CheckWindowsRelease(RunContext& context, bool silent);

// Windows runs as release 5.minor with a major service pack below servicePack.
bool IsNt5ServicePackBelow(RunContext& context, Word minor, Word servicePack);

}  // namespace boot
