// Finding a plug-in package file beside the bootstrapper, and the two wildcard fragments
// that narrow a search to the processor architecture and the user-interface language.
#pragma once

#include <string>

#include "run/run_context.h"

namespace boot {

// Searches the bootstrapper's own folder for `pattern`, then each of its immediate
// subfolders in listing order (names beginning with "." are skipped). The first entry
// found wins, file or folder. Returns 0 and sets `path`, or 232 and leaves `path` alone.
// After a release build's check, a pattern searched then gives the same answer again.
Dword FindPackageFile(RunContext& context, const std::wstring& pattern, std::wstring* path);

// "*x64*" when this Windows takes the x64 package (ReadMachineArchitecture), else "*win32*".
std::wstring ArchitectureFilter(RunContext& context);

// "*rus*" when the system user-interface language is Russian (Russia), else "*eng*".
std::wstring LanguageFilter(RunContext& context);

}  // namespace boot
