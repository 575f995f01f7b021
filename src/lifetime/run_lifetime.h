// lifetime/: the start and the end of every run, above the rooms whose state they open and
// give back.
// The beginning and the end of a run: its log opened and closed, its mutex given back.
#pragma once

#include "run/run_context.h"

namespace boot {

// Creates %TMP%\<program name>_<local time stamp>.log and writes what the run starts from:
// the program and its version, the command line, the Windows facts and TMP. Without TMP,
// or when the file cannot be made, the run has no log and nothing else changes.
// With `logFolder` (-log), the log goes there instead: the folder is made where missing and
// holds every log of the run from then on (context.logFolder, its full path). A folder that
// cannot be made or written returns its error; the log is then made in TMP and says why.
Dword StartRunLog(RunContext& context, const std::wstring* logFolder = nullptr);

// The end of every run: gives back the run's mutex and writes the exit code.
void EndRun(RunContext& context, Dword exitCode);

// Ends the run, then the process, with the exit code.
[[noreturn]] void ExitRun(RunContext& context, Dword exitCode);

}  // namespace boot
