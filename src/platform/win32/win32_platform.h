// The real Windows behind the seam: each member makes the one Win32, Windows Installer or
// C runtime call it stands for, with the flags and sizes the core gives. Windows Installer,
// CNG and a few system functions are found at run time; see SystemDll.
#pragma once

#include "platform/platform.h"
#include "platform/win32/system_dll.h"
#include "platform/win32/windows_api.h"

namespace boot {

class Win32Platform : public Platform {
 public:
  // instance: the program's own module, the owner of its windows and its dialog.
  explicit Win32Platform(HINSTANCE instance) : instance_(instance) {}

  std::wstring GetCommandLine() override;
  bool CommandLineToArgv(const std::wstring& commandLine, std::vector<std::wstring>* args) override;
  Dword GetLastError() override;
  [[noreturn]] void Exit(Dword exitCode) override;

  WindowHandle CreateWindowEx(Dword exStyle, const std::wstring& className,
                              const std::wstring& windowName, Dword style, int x, int y, int width,
                              int height) override;
  int MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                 Dword type) override;
  std::intptr_t DialogBoxParam(int templateId, WindowHandle owner, DialogHandler* handler,
                               std::intptr_t initParam) override;
  bool EndDialog(WindowHandle dialog, std::intptr_t result) override;
  WindowHandle GetDlgItem(WindowHandle dialog, int controlId) override;
  bool ShowWindow(WindowHandle window, int command) override;
  bool CheckDlgButton(WindowHandle dialog, int controlId, unsigned check) override;
  unsigned IsDlgButtonChecked(WindowHandle dialog, int controlId) override;
  std::wstring GetDlgItemText(WindowHandle dialog, int controlId, int maxCount) override;
  bool SetDlgItemText(WindowHandle dialog, int controlId, const std::wstring& text) override;
  std::intptr_t SendMessage(WindowHandle window, unsigned message, std::uintptr_t wParam,
                            std::intptr_t lParam) override;
  IconHandle LoadOwnImage(int resourceId, unsigned type, int cx, int cy, unsigned flags) override;
  bool DestroyIcon(IconHandle icon) override;

  std::vector<std::uint8_t> FindOwnResource(Word type, Word name, Word language) override;

  ModuleHandle GetModuleHandle(const std::wstring& moduleName) override;
  ModuleHandle LoadLibrary(const std::wstring& fileName) override;
  ProcAddress GetProcAddress(ModuleHandle module, const std::string& procName) override;
  bool CallIsWow64Process(ProcAddress isWow64Process, bool* wow64) override;
  bool CallIsWow64Process2(ProcAddress isWow64Process2, Word* processMachine,
                           Word* nativeMachine) override;
  Long CallGetMachineTypeAttributes(ProcAddress getMachineTypeAttributes, Word machine,
                                    Dword* attributes) override;
  Long CallRegDeleteKeyEx(ProcAddress regDeleteKeyEx, RegKey key, const std::wstring& subKey,
                          Dword samDesired, Dword reserved) override;
  Long CallRegDeleteKey(ProcAddress regDeleteKey, RegKey key, const std::wstring& subKey) override;

  bool IsUserAnAdmin() override;
  std::uint64_t VerSetConditionMask(std::uint64_t conditionMask, Dword typeMask,
                                    std::uint8_t condition) override;
  bool VerifyVersionInfo(const OsVersionInfoEx& info, Dword typeMask,
                         std::uint64_t conditionMask) override;
  void RtlGetNtVersionNumbers(Dword* major, Dword* minor, Dword* build) override;
  Word GetSystemDefaultUILanguage() override;
  bool GetVersionEx(OsVersionInfoEx* info) override;
  bool GetUserName(wchar_t* buffer, Dword* size) override;
  bool ProcessIdToSessionId(Dword* sessionId) override;
  bool GetProcessWindowStationFlags(Dword* flags) override;
  std::uint64_t GetSystemTimeAsFileTime() override;
  bool CallGetTickCount64(ProcAddress getTickCount64, std::uint64_t* milliseconds) override;
  Long CallNtQuerySystemInformation(ProcAddress ntQuerySystemInformation, Dword informationClass,
                                    std::vector<std::uint8_t>* buffer) override;

  Dword GetModuleFileName(std::wstring* path, Dword bufferChars) override;
  KernelHandle FindFirstFile(const std::wstring& pattern, FindData* data) override;
  bool FindNextFile(KernelHandle find, FindData* data) override;
  bool FindClose(KernelHandle find) override;
  bool FileExists(const std::wstring& path) override;
  bool DeleteFile(const std::wstring& path) override;
  bool CreateDirectory(const std::wstring& path, const std::wstring& sddl) override;
  bool RemoveDirectory(const std::wstring& path) override;
  Dword GetFileAttributes(const std::wstring& path) override;
  Long GetFolderPath(int csidl, std::wstring* path) override;
  KernelHandle CreateFile(const std::wstring& path, Dword desiredAccess, Dword shareMode,
                          Dword creationDisposition, Dword flagsAndAttributes) override;
  bool WriteFile(KernelHandle file, const void* data, Dword size, Dword* written) override;
  bool ReadFile(KernelHandle file, void* buffer, Dword size, Dword* read) override;
  Dword GetSystemDirectory(std::vector<wchar_t>* buffer, Dword size) override;
  Dword GetWindowsDirectory(std::vector<wchar_t>* buffer, Dword size) override;
  Dword GetFullPathName(const std::wstring& fileName, std::vector<wchar_t>* buffer,
                        Dword size) override;

  Dword GetEnvironmentVariable(const std::wstring& name, wchar_t* buffer, Dword size) override;
  bool GetRuntimeEnvironment(const std::wstring& name, std::wstring* value) override;

  std::time_t Time() override;
  Dword GetTickCount() override;
  bool LocalTime(std::time_t time, std::tm* local) override;
  void PutWs(const std::wstring& text) override;

  bool CreateProcess(const std::wstring& applicationName, std::vector<wchar_t>* commandLine,
                     Dword creationFlags, const std::wstring& currentDirectory,
                     ProcessInformation* information) override;
  Dword WaitForSingleObject(KernelHandle handle, Dword milliseconds) override;
  Dword MsgWaitForMultipleObjects(const std::vector<KernelHandle>& handles, bool waitAll,
                                  Dword milliseconds, Dword wakeMask) override;
  bool PeekMessage(WindowMessage* message, WindowHandle window, unsigned filterMin,
                   unsigned filterMax, unsigned removeFlags) override;
  std::intptr_t DispatchMessage(const WindowMessage& message) override;
  bool GetExitCodeProcess(KernelHandle process, Dword* exitCode) override;
  bool CloseHandle(KernelHandle handle) override;

  KernelHandle CreateMutex(const std::wstring& sddl, bool initialOwner,
                           const std::wstring& name) override;
  KernelHandle OpenMutex(Dword desiredAccess, const std::wstring& name) override;
  bool ReleaseMutex(KernelHandle mutex) override;

  bool OpenProcessToken(Dword desiredAccess, KernelHandle* token) override;
  bool LookupPrivilegeValue(const std::wstring& name, Luid* luid) override;
  bool AdjustTokenPrivileges(KernelHandle token, const Luid& luid, Dword attributes) override;
  bool ExitWindowsEx(Dword flags, Dword reason) override;
  bool GetTokenUserSid(KernelHandle token, std::wstring* sid) override;
  bool GetTokenSessionId(KernelHandle token, Dword* sessionId) override;
  Dword CallInitiateShutdown(ProcAddress initiateShutdown, Dword gracePeriod, Dword shutdownFlags,
                             Dword reason) override;
  bool CallInitiateSystemShutdownEx(ProcAddress initiateSystemShutdownEx, Dword timeout,
                                    bool forceAppsClosed, bool rebootAfterShutdown,
                                    Dword reason) override;

  Long RegOpenKeyEx(RegKey key, const std::wstring& subKey, Dword options, Dword samDesired,
                    RegKey* result) override;
  Long RegCreateKeyEx(RegKey key, const std::wstring& subKey, Dword options, Dword samDesired,
                      RegKey* result, Dword* disposition) override;
  Long RegCloseKey(RegKey key) override;
  Long RegSetValueEx(RegKey key, const std::wstring& name, const std::wstring& text) override;
  Long RegQueryValueEx(RegKey key, const std::wstring& name, Dword* type,
                       std::vector<wchar_t>* buffer, Dword* size) override;
  Long RegDeleteValue(RegKey key, const std::wstring& name) override;
  Long RegQueryInfoKeyLastWriteTime(RegKey key, std::uint64_t* lastWriteTime) override;

  int MsiSetInternalUI(int uiLevel) override;
  Dword MsiOpenPackageEx(const std::wstring& packagePath, Dword options,
                         MsiHandle* handle) override;
  Dword MsiGetProperty(MsiHandle install, const std::wstring& name, wchar_t* value,
                       Dword* size) override;
  Dword MsiEnumRelatedProducts(const std::wstring& upgradeCode, Dword reserved, Dword productIndex,
                               wchar_t* productBuffer) override;
  Dword MsiViewClose(MsiHandle view) override;
  Dword MsiCloseHandle(MsiHandle handle) override;
  Dword MsiGetProductInfo(const std::wstring& product, const std::wstring& property, wchar_t* value,
                          Dword* size) override;
  int MsiQueryProductState(const std::wstring& product) override;
  int MsiQueryFeatureState(const std::wstring& product, const std::wstring& feature) override;
  Dword MsiSourceListClearAll(const std::wstring& product, Dword reserved) override;
  Dword MsiSourceListSetInfo(const std::wstring& product, int context, Dword options,
                             const std::wstring& property, const std::wstring& value) override;

  Long BCryptOpenAlgorithmProvider(KernelHandle* algorithm, const std::wstring& algorithmId,
                                   Dword flags) override;
  Long BCryptGetProperty(KernelHandle object, const std::wstring& property, std::uint8_t* output,
                         Dword size, Dword* result) override;
  Long BCryptCreateHash(KernelHandle algorithm, KernelHandle* hash, std::uint8_t* hashObject,
                        Dword hashObjectSize) override;
  Long BCryptHashData(KernelHandle hash, const std::uint8_t* input, Dword size) override;
  Long BCryptFinishHash(KernelHandle hash, std::uint8_t* output, Dword size) override;
  Long BCryptDestroyHash(KernelHandle hash) override;
  Long BCryptCloseAlgorithmProvider(KernelHandle algorithm) override;
  bool CryptAcquireContext(KernelHandle* provider, Dword providerType, Dword flags) override;
  bool CryptCreateHash(KernelHandle provider, Dword algorithm, KernelHandle* hash) override;
  bool CryptHashData(KernelHandle hash, const std::uint8_t* data, Dword size) override;
  bool CryptGetHashParam(KernelHandle hash, Dword parameter, std::uint8_t* data,
                         Dword* size) override;
  bool CryptDestroyHash(KernelHandle hash) override;
  bool CryptReleaseContext(KernelHandle provider) override;

 private:
  HINSTANCE instance_;
  SystemDll msi_{L"msi.dll"};
  SystemDll bcrypt_{L"bcrypt.dll"};
};

}  // namespace boot
