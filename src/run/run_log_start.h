// The beginning and the end of the run's log.
#pragma once

#include "run/run_context.h"

namespace boot {

// Creates %TMP%\<program name>_<local time stamp>.log and writes what the run starts from:
// the program and its version, the command line, the Windows facts and TMP. Without TMP,
// or when the file cannot be made, the run has no log and nothing else changes.
void StartRunLog(RunContext& context);

// Writes the exit code and ends the process with it.
[[noreturn]] void ExitRun(RunContext& context, Dword exitCode);

}  // namespace boot
