/* Custom actions for test packages: embedded in a package and sequenced before
   InstallFinalize, each ends the installation with its result; one announces a changed
   environment first, as packages that set environment variables do. */
/* msiquery.h needs the types of windows.h first. */
// clang-format off
#include <windows.h>
#include <msiquery.h>
// clang-format on

__declspec(dllexport) UINT __stdcall ReturnUserExit(MSIHANDLE install) {
  (void)install;
  return ERROR_INSTALL_USEREXIT;
}

__declspec(dllexport) UINT __stdcall ReturnInstallFailure(MSIHANDLE install) {
  (void)install;
  return ERROR_INSTALL_FAILURE;
}

/* SendMessage returns only when every top-level window of the desktop has answered. */
__declspec(dllexport) UINT __stdcall BroadcastEnvironmentChange(MSIHANDLE install) {
  (void)install;
  SendMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, (LPARAM)L"Environment");
  return ERROR_SUCCESS;
}
