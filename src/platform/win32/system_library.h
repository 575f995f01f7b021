// Loading DLLs that the program does not import, from the system directory only.
#pragma once

#include "platform/win32/windows_api.h"

namespace boot {

// Loads a system DLL by file name from the system directory, never from the program's
// folder or the current directory, where a planted copy could wait. Returns null on
// failure with the Windows error left in GetLastError().
HMODULE LoadSystemLibrary(const wchar_t* fileName);

}  // namespace boot
