// Whether the program runs as a 32-bit process on 64-bit Windows.
#pragma once

#include "run/run_context.h"

namespace boot {

// IsWow64Process of the current process, found at run time; false when Windows has no
// such function or it fails.
bool IsWow64(RunContext& context);

}  // namespace boot
