// Functions of system modules that the process has loaded from its start (kernel32, ntdll,
// advapi32), found at run time where an older Windows release lacks them.
#pragma once

#include "run/run_context.h"

namespace boot {

// 0 when the module is not loaded or has no such function.
ProcAddress FindLoadedFunction(RunContext& context, const wchar_t* module, const char* name);

}  // namespace boot
