// msi.dll, reached without the import table.
#pragma once

#include "platform/win32/function_address.h"
#include "platform/win32/windows_api.h"

namespace boot {

// Loads msi.dll from the system directory on first use. The program imports nothing from
// it, so it starts even where Windows Installer is missing or broken, and a copy planted
// beside the program is never loaded.
class MsiLibrary {
 public:
  // The function of that name, or null when msi.dll or the function is missing.
  template <typename Function>
  Function Find(const char* name) {
    return FindFunction<Function>(Module(), name);
  }

  // The Windows error to report for a function that Find did not give.
  DWORD MissingError();

 private:
  HMODULE Module();

  bool loadAttempted_ = false;
  HMODULE module_ = nullptr;
};

}  // namespace boot
