// files/: the files a run works with: searching, hashing, the program's folder, install logs.
// The folder the program was started from, where a release lays out what the run uses.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// The program's folder, with its trailing backslash. When its path cannot be read, says so in
// the run's log and returns the error: nothing is then looked for in a folder that is not
// the program's (a relative path would name the current folder).
Dword ProgramFolder(RunContext& context, std::wstring* folder);

}  // namespace boot
