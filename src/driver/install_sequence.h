// The one sequence every run walks, from the owner window to the exit code.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// commandTail is what follows the program name and the blanks after it (wWinMain's
// lpCmdLine); it only tells whether any arguments were given. Returns the exit code.
Dword RunInstallSequence(RunContext& context, const std::wstring& commandTail);

}  // namespace boot
