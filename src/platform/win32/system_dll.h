// A system DLL that the program does not import, reached without the import table.
#pragma once

#include "platform/win32/function_address.h"
#include "platform/win32/windows_api.h"

namespace boot {

// Loads the DLL from the system directory on first use. The program imports nothing from
// it, so it starts even where the DLL is missing or broken (msi.dll where Windows Installer
// is, bcrypt.dll before Vista), and a copy planted beside the program is never loaded.
class SystemDll {
 public:
  explicit SystemDll(const wchar_t* fileName) : fileName_(fileName) {}

  // The function of that name, or null when the DLL or the function is missing.
  template <typename Function>
  Function Find(const char* name) {
    return FindFunction<Function>(Module(), name);
  }

  // The Windows error to report for a function that Find did not give.
  DWORD MissingError();

 private:
  HMODULE Module();

  const wchar_t* fileName_;
  bool loadAttempted_ = false;
  HMODULE module_ = nullptr;
};

}  // namespace boot
