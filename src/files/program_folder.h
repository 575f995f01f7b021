// files/: the files a run works with: searching, hashing, the program's folder, install logs.
// The folder the program was started from, where a release lays out what the run uses.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// The program's folder with its trailing backslash; empty when the program's path has none.
std::wstring ProgramFolder(RunContext& context);

}  // namespace boot
