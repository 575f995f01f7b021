#include "platform/win32/msi_library.h"

#include "platform/win32/system_library.h"

namespace boot {

HMODULE MsiLibrary::Module() {
  if (!loadAttempted_) {
    loadAttempted_ = true;
    module_ = LoadSystemLibrary(L"msi.dll");
  }
  return module_;
}

DWORD MsiLibrary::MissingError() {
  return Module() == nullptr ? ERROR_MOD_NOT_FOUND : ERROR_PROC_NOT_FOUND;
}

}  // namespace boot
