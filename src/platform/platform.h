// The seam between the bootstrapper's decisions and Windows. Each member stands for one
// Win32, Windows Installer or C runtime call and is as thin as that call: the flags, sizes,
// access masks and call orders are chosen by the caller. There are two implementations:
// the real one over Win32 and a simulated Windows for the native unit tests.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace boot {

// A dialog procedure of the core; the platform calls it for each message of a dialog.
class DialogHandler {
 public:
  virtual ~DialogHandler() = default;
  virtual bool OnMessage(WindowHandle dialog, unsigned message, std::uintptr_t wParam,
                         std::intptr_t lParam) = 0;
};

struct FindData {
  Dword attributes = 0;
  std::wstring fileName;
};

// MSG.
struct WindowMessage {
  WindowHandle window = 0;
  unsigned message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  Dword time = 0;
  Long x = 0;
  Long y = 0;
};

struct ProcessInformation {
  KernelHandle process = 0;
  KernelHandle thread = 0;
};

// OSVERSIONINFOEXW, reduced to the fields the bootstrapper sets.
struct OsVersionInfoEx {
  Dword majorVersion = 0;
  Dword minorVersion = 0;
  Dword buildNumber = 0;
  Dword platformId = 0;
  Word servicePackMajor = 0;
  Word servicePackMinor = 0;
  Word suiteMask = 0;
  std::uint8_t productType = 0;
};

struct Luid {
  Dword lowPart = 0;
  Long highPart = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Process, errors, runtime exit.
  virtual std::wstring GetCommandLine() = 0;
  // CommandLineToArgvW followed by LocalFree; false when the line cannot be split.
  virtual bool CommandLineToArgv(const std::wstring& commandLine,
                                 std::vector<std::wstring>* args) = 0;
  virtual Dword GetLastError() = 0;
  // exit(): runs the runtime's exit handlers and never returns.
  [[noreturn]] virtual void Exit(Dword exitCode) = 0;

  // Windows, message boxes and the dialog.
  virtual WindowHandle CreateWindowEx(Dword exStyle, const std::wstring& className,
                                      const std::wstring& windowName, Dword style, int x, int y,
                                      int width, int height) = 0;
  virtual int MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                         Dword type) = 0;
  virtual std::intptr_t DialogBoxParam(int templateId, WindowHandle owner, DialogHandler* handler,
                                       std::intptr_t initParam) = 0;
  virtual bool EndDialog(WindowHandle dialog, std::intptr_t result) = 0;
  virtual WindowHandle GetDlgItem(WindowHandle dialog, int controlId) = 0;
  virtual bool ShowWindow(WindowHandle window, int command) = 0;
  virtual bool CheckDlgButton(WindowHandle dialog, int controlId, unsigned check) = 0;
  virtual unsigned IsDlgButtonChecked(WindowHandle dialog, int controlId) = 0;
  // GetDlgItemTextW into a buffer of maxCount characters (terminator included).
  virtual std::wstring GetDlgItemText(WindowHandle dialog, int controlId, int maxCount) = 0;
  virtual bool SetDlgItemText(WindowHandle dialog, int controlId, const std::wstring& text) = 0;
  virtual std::intptr_t SendMessage(WindowHandle window, unsigned message, std::uintptr_t wParam,
                                    std::intptr_t lParam) = 0;
  // LoadImageW of a resource of the program's own module (GetModuleHandleW(NULL)).
  virtual IconHandle LoadOwnImage(int resourceId, unsigned type, int cx, int cy,
                                  unsigned flags) = 0;
  virtual bool DestroyIcon(IconHandle icon) = 0;

  // Resources: the raw bytes of one of the program's own resources (FindResourceExW,
  // LoadResource, LockResource, SizeofResource); empty when it is not there.
  virtual std::vector<std::uint8_t> FindOwnResource(Word type, Word name, Word language) = 0;

  // Modules.
  virtual ModuleHandle GetModuleHandle(const std::wstring& moduleName) = 0;
  virtual ModuleHandle LoadLibrary(const std::wstring& fileName) = 0;
  virtual ProcAddress GetProcAddress(ModuleHandle module, const std::string& procName) = 0;
  // Calls through addresses found with GetProcAddress.
  virtual bool CallIsWow64Process(ProcAddress isWow64Process, bool* wow64) = 0;
  // IsWow64Process2 of the current process (IMAGE_FILE_MACHINE_* values).
  virtual bool CallIsWow64Process2(ProcAddress isWow64Process2, Word* processMachine,
                                   Word* nativeMachine) = 0;
  // GetMachineTypeAttributes: its HRESULT, and the MACHINE_ATTRIBUTES flags.
  virtual Long CallGetMachineTypeAttributes(ProcAddress getMachineTypeAttributes, Word machine,
                                            Dword* attributes) = 0;
  virtual Long CallRegDeleteKeyEx(ProcAddress regDeleteKeyEx, RegKey key,
                                  const std::wstring& subKey, Dword samDesired, Dword reserved) = 0;
  virtual Long CallRegDeleteKey(ProcAddress regDeleteKey, RegKey key,
                                const std::wstring& subKey) = 0;

  // System facts.
  virtual bool IsUserAnAdmin() = 0;
  virtual std::uint64_t VerSetConditionMask(std::uint64_t conditionMask, Dword typeMask,
                                            std::uint8_t condition) = 0;
  virtual bool VerifyVersionInfo(const OsVersionInfoEx& info, Dword typeMask,
                                 std::uint64_t conditionMask) = 0;
  // RtlGetNtVersionNumbers; a null pointer is not asked for.
  virtual void RtlGetNtVersionNumbers(Dword* major, Dword* minor, Dword* build) = 0;
  virtual Word GetSystemDefaultUILanguage() = 0;
  // GetVersionExW with an OSVERSIONINFOEXW.
  virtual bool GetVersionEx(OsVersionInfoEx* info) = 0;
  // GetUserNameW into a buffer of *size characters; *size becomes the length with the
  // terminator.
  virtual bool GetUserName(wchar_t* buffer, Dword* size) = 0;
  // ProcessIdToSessionId of the current process; false when Windows has no such function.
  virtual bool ProcessIdToSessionId(Dword* sessionId) = 0;
  // GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS): USEROBJECTFLAGS.dwFlags.
  virtual bool GetProcessWindowStationFlags(Dword* flags) = 0;
  // GetSystemTimeAsFileTime, as one number: 100 ns since 1601-01-01 (UTC).
  virtual std::uint64_t GetSystemTimeAsFileTime() = 0;
  // GetTickCount64 and NtQuerySystemInformation through addresses found with GetProcAddress;
  // the buffer's size is the length passed.
  virtual bool CallGetTickCount64(ProcAddress getTickCount64, std::uint64_t* milliseconds) = 0;
  virtual Long CallNtQuerySystemInformation(ProcAddress ntQuerySystemInformation,
                                            Dword informationClass,
                                            std::vector<std::uint8_t>* buffer) = 0;

  // Files and folders.
  // GetModuleFileNameW(NULL) into a buffer of bufferChars characters; returns the length copied.
  virtual Dword GetModuleFileName(std::wstring* path, Dword bufferChars) = 0;
  // FindFirstFileW; returns 0 (INVALID_HANDLE_VALUE is reported as 0) when nothing matches.
  virtual KernelHandle FindFirstFile(const std::wstring& pattern, FindData* data) = 0;
  virtual bool FindNextFile(KernelHandle find, FindData* data) = 0;
  virtual bool FindClose(KernelHandle find) = 0;
  virtual bool FileExists(const std::wstring& path) = 0;  // _wstat succeeded
  // CreateFileW with no security attributes and no template; 0 stands for
  // INVALID_HANDLE_VALUE.
  virtual KernelHandle CreateFile(const std::wstring& path, Dword desiredAccess, Dword shareMode,
                                  Dword creationDisposition, Dword flagsAndAttributes) = 0;
  // WriteFile and ReadFile, not overlapped.
  virtual bool WriteFile(KernelHandle file, const void* data, Dword size, Dword* written) = 0;
  virtual bool ReadFile(KernelHandle file, void* buffer, Dword size, Dword* read) = 0;
  virtual bool DeleteFile(const std::wstring& path) = 0;
  // CreateDirectoryW with the security descriptor that
  // ConvertStringSecurityDescriptorToSecurityDescriptorW makes of `sddl` (none when empty:
  // the folder inherits its parent's); false when either fails.
  virtual bool CreateDirectory(const std::wstring& path, const std::wstring& sddl) = 0;
  virtual bool RemoveDirectory(const std::wstring& path) = 0;
  virtual Dword GetFileAttributes(const std::wstring& path) = 0;  // INVALID_FILE_ATTRIBUTES
  // SHGetFolderPathW for the current path of a CSIDL folder; its HRESULT.
  virtual Long GetFolderPath(int csidl, std::wstring* path) = 0;
  // GetSystemDirectoryW / GetWindowsDirectoryW into a buffer of `size` characters.
  virtual Dword GetSystemDirectory(std::vector<wchar_t>* buffer, Dword size) = 0;
  virtual Dword GetWindowsDirectory(std::vector<wchar_t>* buffer, Dword size) = 0;
  // GetFullPathNameW into a buffer of `size` characters, the file part not asked for.
  virtual Dword GetFullPathName(const std::wstring& fileName, std::vector<wchar_t>* buffer,
                                Dword size) = 0;

  // Environment.
  // GetEnvironmentVariableW: buffer may be null with size 0 to ask for the size.
  virtual Dword GetEnvironmentVariable(const std::wstring& name, wchar_t* buffer, Dword size) = 0;
  // _wgetenv: false when the variable is not set.
  virtual bool GetRuntimeEnvironment(const std::wstring& name, std::wstring* value) = 0;

  // Clock and standard output.
  virtual std::time_t Time() = 0;
  virtual Dword GetTickCount() = 0;
  virtual bool LocalTime(std::time_t time, std::tm* local) = 0;
  virtual void PutWs(const std::wstring& text) = 0;  // _putws: the text and a line break

  // Child processes.
  // CreateProcessW with the application name (none when empty), the writable command line,
  // no security attributes, no inheritance, the given flags, the program's own environment,
  // and the current folder (the program's own when empty).
  virtual bool CreateProcess(const std::wstring& applicationName, std::vector<wchar_t>* commandLine,
                             Dword creationFlags, const std::wstring& currentDirectory,
                             ProcessInformation* information) = 0;
  virtual Dword WaitForSingleObject(KernelHandle handle, Dword milliseconds) = 0;
  virtual Dword MsgWaitForMultipleObjects(const std::vector<KernelHandle>& handles, bool waitAll,
                                          Dword milliseconds, Dword wakeMask) = 0;
  // PeekMessageW; false when no message was there to take.
  virtual bool PeekMessage(WindowMessage* message, WindowHandle window, unsigned filterMin,
                           unsigned filterMax, unsigned removeFlags) = 0;
  virtual std::intptr_t DispatchMessage(const WindowMessage& message) = 0;
  virtual bool GetExitCodeProcess(KernelHandle process, Dword* exitCode) = 0;
  virtual bool CloseHandle(KernelHandle handle) = 0;

  // Mutexes. CreateMutexW with the security descriptor that
  // ConvertStringSecurityDescriptorToSecurityDescriptorW makes of `sddl`; 0 when either fails.
  virtual KernelHandle CreateMutex(const std::wstring& sddl, bool initialOwner,
                                   const std::wstring& name) = 0;
  // OpenMutexW, not inherited; 0 when it fails.
  virtual KernelHandle OpenMutex(Dword desiredAccess, const std::wstring& name) = 0;
  virtual bool ReleaseMutex(KernelHandle mutex) = 0;

  // Token and shutdown.
  virtual bool OpenProcessToken(Dword desiredAccess, KernelHandle* token) = 0;
  virtual bool LookupPrivilegeValue(const std::wstring& name, Luid* luid) = 0;
  // One privilege with the given attributes; DisableAllPrivileges false; no previous state.
  virtual bool AdjustTokenPrivileges(KernelHandle token, const Luid& luid, Dword attributes) = 0;
  virtual bool ExitWindowsEx(Dword flags, Dword reason) = 0;
  // GetTokenInformation(TokenUser); the user's SID as ConvertSidToStringSidW writes it.
  virtual bool GetTokenUserSid(KernelHandle token, std::wstring* sid) = 0;
  // GetTokenInformation(TokenSessionId).
  virtual bool GetTokenSessionId(KernelHandle token, Dword* sessionId) = 0;
  // InitiateShutdownW and InitiateSystemShutdownExW through addresses found with
  // GetProcAddress, for the local computer and without a message.
  virtual Dword CallInitiateShutdown(ProcAddress initiateShutdown, Dword gracePeriod,
                                     Dword shutdownFlags, Dword reason) = 0;
  virtual bool CallInitiateSystemShutdownEx(ProcAddress initiateSystemShutdownEx, Dword timeout,
                                            bool forceAppsClosed, bool rebootAfterShutdown,
                                            Dword reason) = 0;

  // Registry.
  virtual Long RegOpenKeyEx(RegKey key, const std::wstring& subKey, Dword options, Dword samDesired,
                            RegKey* result) = 0;
  virtual Long RegCreateKeyEx(RegKey key, const std::wstring& subKey, Dword options,
                              Dword samDesired, RegKey* result, Dword* disposition) = 0;
  virtual Long RegCloseKey(RegKey key) = 0;
  // RegSetValueExW of a REG_SZ: the text and its terminator.
  virtual Long RegSetValueEx(RegKey key, const std::wstring& name, const std::wstring& text) = 0;
  // RegQueryValueExW into a buffer of *size bytes; the type and *size as it sets them.
  virtual Long RegQueryValueEx(RegKey key, const std::wstring& name, Dword* type,
                               std::vector<wchar_t>* buffer, Dword* size) = 0;
  virtual Long RegDeleteValue(RegKey key, const std::wstring& name) = 0;
  // RegQueryInfoKeyW asking for the key's last write time alone (a FILETIME as one number).
  virtual Long RegQueryInfoKeyLastWriteTime(RegKey key, std::uint64_t* lastWriteTime) = 0;

  // Windows Installer.
  virtual int MsiSetInternalUI(int uiLevel) = 0;
  virtual Dword MsiOpenPackageEx(const std::wstring& packagePath, Dword options,
                                 MsiHandle* handle) = 0;
  // value may be non-null with *size 0 to ask for the length.
  virtual Dword MsiGetProperty(MsiHandle install, const std::wstring& name, wchar_t* value,
                               Dword* size) = 0;
  virtual Dword MsiEnumRelatedProducts(const std::wstring& upgradeCode, Dword reserved,
                                       Dword productIndex, wchar_t* productBuffer) = 0;
  virtual Dword MsiViewClose(MsiHandle view) = 0;
  virtual Dword MsiCloseHandle(MsiHandle handle) = 0;
  // value may be null to ask for the length.
  virtual Dword MsiGetProductInfo(const std::wstring& product, const std::wstring& property,
                                  wchar_t* value, Dword* size) = 0;
  virtual int MsiQueryProductState(const std::wstring& product) = 0;
  virtual int MsiQueryFeatureState(const std::wstring& product, const std::wstring& feature) = 0;
  virtual Dword MsiSourceListClearAll(const std::wstring& product, Dword reserved) = 0;
  virtual Dword MsiSourceListSetInfo(const std::wstring& product, int context, Dword options,
                                     const std::wstring& property, const std::wstring& value) = 0;

  // Hashing. CNG (bcrypt.dll, found at run time from the system directory; NTSTATUS
  // results, a missing function gives STATUS_PROCEDURE_NOT_FOUND): no implementation name,
  // no secret, no flags but those given.
  virtual Long BCryptOpenAlgorithmProvider(KernelHandle* algorithm, const std::wstring& algorithmId,
                                           Dword flags) = 0;
  virtual Long BCryptGetProperty(KernelHandle object, const std::wstring& property,
                                 std::uint8_t* output, Dword size, Dword* result) = 0;
  virtual Long BCryptCreateHash(KernelHandle algorithm, KernelHandle* hash,
                                std::uint8_t* hashObject, Dword hashObjectSize) = 0;
  virtual Long BCryptHashData(KernelHandle hash, const std::uint8_t* input, Dword size) = 0;
  virtual Long BCryptFinishHash(KernelHandle hash, std::uint8_t* output, Dword size) = 0;
  virtual Long BCryptDestroyHash(KernelHandle hash) = 0;
  virtual Long BCryptCloseAlgorithmProvider(KernelHandle algorithm) = 0;
  // CryptoAPI (advapi32): CryptAcquireContextW with no container and no provider name, by
  // type alone; CryptCreateHash without a key; flags 0 where none are given.
  virtual bool CryptAcquireContext(KernelHandle* provider, Dword providerType, Dword flags) = 0;
  virtual bool CryptCreateHash(KernelHandle provider, Dword algorithm, KernelHandle* hash) = 0;
  virtual bool CryptHashData(KernelHandle hash, const std::uint8_t* data, Dword size) = 0;
  virtual bool CryptGetHashParam(KernelHandle hash, Dword parameter, std::uint8_t* data,
                                 Dword* size) = 0;
  virtual bool CryptDestroyHash(KernelHandle hash) = 0;
  virtual bool CryptReleaseContext(KernelHandle provider) = 0;
};

}  // namespace boot
