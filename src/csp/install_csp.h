// Installing the cryptographic service provider through its own Setup.exe.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// Returns 0 to go on, else the result that ends the run; failures are already reported.
Dword InstallCspPackage(RunContext& context, bool silent, bool reinstall,
                        const std::wstring& cspFolder, std::wstring cspArgs);

}  // namespace boot
