// The program's entry point: narrows the DLL search to the system directory, then hands
// the run to the install sequence over the real Windows.
#include "driver/install_sequence.h"
#include "platform/win32/function_address.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/windows_api.h"
#include "run/run_context.h"

namespace {

using SetDefaultDllDirectoriesFunction = decltype(&::SetDefaultDllDirectories);

// From here on every LoadLibrary of the run searches the system directory only. Found at
// run time: systems without the function (XP, and Vista and 7 without KB2533623) keep their
// default search, which is all they offer.
void RestrictDllSearchToSystemDirectory() {
  const auto setDefaultDllDirectories = boot::FindFunction<SetDefaultDllDirectoriesFunction>(
      ::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
  if (setDefaultDllDirectories != nullptr) {
    setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previousInstance*/, PWSTR commandTail,
                    int /*showCommand*/) {
  RestrictDllSearchToSystemDirectory();
  boot::Win32Platform platform(instance);
  boot::RunContext context(platform);
  return static_cast<int>(
      boot::RunInstallSequence(context, commandTail != nullptr ? commandTail : L""));
}
