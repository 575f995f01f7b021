// The text that tells the user an installation failed: the catalogue text, the code and,
// when the install log exists, where it is.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

std::wstring BuildFailureReport(RunContext& context, Word messageId, Dword code,
                                const std::wstring& logPath);

}  // namespace boot
