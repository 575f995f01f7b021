#include "platform/win32/system_dll.h"

#include "platform/win32/system_library.h"

namespace boot {

HMODULE SystemDll::Module() {
  if (!loadAttempted_) {
    loadAttempted_ = true;
    module_ = LoadSystemLibrary(fileName_);
  }
  return module_;
}

DWORD SystemDll::MissingError() {
  return Module() == nullptr ? ERROR_MOD_NOT_FOUND : ERROR_PROC_NOT_FOUND;
}

}  // namespace boot
