/* floor: the least that a bootstrapper of this design does before msiexec, for the
   benchmark to measure the bootstrapper against: DLL search narrowed to the system folder
   (as the bootstrapper does first; it also spares msi.dll's own imports a search of the
   program's folder), a hidden window, msi.dll from the system folder, the package opened twice with
   MsiOpenPackageExW (its UpgradeCode read from the first, its ProductCode from the second), then
   msiexec with the bootstrapper's command line, waited for.

   floor.exe PACKAGE LOG
     runs "<system folder>\msiexec.exe" /i "PACKAGE" /Lv! "LOG" REBOOT=R  ADDNPQUORL=1 /qn
   and ends with msiexec's exit code (or 1 for a usage error, 2 when something failed). */
#include <stdio.h>
#include <wchar.h>
#include <windows.h>
/* shellapi.h needs the types of windows.h first. */
#include <shellapi.h>

typedef UINT(WINAPI* OpenPackageEx)(LPCWSTR, DWORD, DWORD*);
typedef UINT(WINAPI* GetProperty)(DWORD, LPCWSTR, LPWSTR, DWORD*);
typedef UINT(WINAPI* CloseHandleMsi)(DWORD);
typedef int(WINAPI* SetInternalUi)(int, HWND*);

enum { kUsage = 1, kFailed = 2 };
enum { kIgnoreMachineState = 1, kUiLevelNone = 2 };

typedef struct {
  OpenPackageEx open;
  GetProperty getProperty;
  CloseHandleMsi close;
} Msi;

static BOOL ReadOnce(const Msi* msi, const wchar_t* package, const wchar_t* property) {
  DWORD handle = 0;
  if (msi->open(package, kIgnoreMachineState, &handle) != 0) return FALSE;
  wchar_t value[64];
  DWORD size = 64;
  UINT read = msi->getProperty(handle, property, value, &size);
  msi->close(handle);
  return read == 0;
}

static DWORD RunMsiexec(const wchar_t* package, const wchar_t* log) {
  wchar_t system[MAX_PATH];
  if (GetSystemDirectoryW(system, MAX_PATH) == 0) return kFailed;
  wchar_t commandLine[1024];
  _snwprintf(commandLine, 1024,
             L"\"%ls\\msiexec.exe\" /i \"%ls\" /Lv! \"%ls\" REBOOT=R  ADDNPQUORL=1 /qn ", system,
             package, log);
  commandLine[1023] = L'\0';
  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process;
  if (!CreateProcessW(NULL, commandLine, NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, NULL, &startup,
                      &process)) {
    return kFailed;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = kFailed;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return code;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandTail, int show) {
  (void)previous;
  (void)commandTail;
  (void)show;
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args == NULL || count != 3) return kUsage;
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  CreateWindowExW(0, L"STATIC", L"", WS_DISABLED, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, NULL, NULL,
                  instance, NULL);
  HMODULE module = LoadLibraryExW(L"msi.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == NULL) return kFailed;
  Msi msi = {(OpenPackageEx)(void*)GetProcAddress(module, "MsiOpenPackageExW"),
             (GetProperty)(void*)GetProcAddress(module, "MsiGetPropertyW"),
             (CloseHandleMsi)(void*)GetProcAddress(module, "MsiCloseHandle")};
  SetInternalUi setInternalUi = (SetInternalUi)(void*)GetProcAddress(module, "MsiSetInternalUI");
  if (msi.open == NULL || msi.getProperty == NULL || msi.close == NULL || setInternalUi == NULL) {
    return kFailed;
  }
  setInternalUi(kUiLevelNone, NULL);
  if (!ReadOnce(&msi, args[1], L"UpgradeCode") || !ReadOnce(&msi, args[1], L"ProductCode")) {
    return kFailed;
  }
  return (int)RunMsiexec(args[1], args[2]);
}
