// The bare Windows release, as ntdll reports it.
#pragma once

#include "run/run_context.h"

namespace boot {

// Windows reports release 5.minor.
bool IsNt5Release(RunContext& context, Dword minor);

}  // namespace boot
