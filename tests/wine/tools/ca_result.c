/* Custom actions for test packages that must fail in a chosen way: embedded in a package
   and sequenced before InstallFinalize, each ends the installation with its result. */
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
