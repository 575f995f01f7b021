// The folder that -log names for every log of the run, made where it is missing.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// `full` becomes `given` as a full path (a relative one taken from the current folder), with
// no trailing backslash but a root's; every missing folder on the way is made, with its
// parent's access. 0, or the Windows error that kept the path from being named (`full` then
// stays empty) or a folder from being made.
Dword MakeLogFolder(RunContext& context, const std::wstring& given, std::wstring* full);

}  // namespace boot
