// A simulated Windows for the native unit tests: an in-memory HKEY_CURRENT_USER, files and
// folders, Windows Installer packages and products, scripted message-box answers and child
// processes, system facts, environment and clock. Every side effect is appended to `events`
// in the order it happens, so tests can check orders as well as outcomes.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/simulated_dialog.h"

namespace boot::sim {

// Lower-cases ASCII letters and the Cyrillic alphabet, as the file system and registry compare.
std::wstring FoldCase(const std::wstring& text);

// Orders names as Windows compares them, without regard to case.
struct CaseInsensitiveLess {
  bool operator()(const std::wstring& a, const std::wstring& b) const {
    return FoldCase(a) < FoldCase(b);
  }
};

// Thrown by Exit(): the run ended the process with this code.
struct SimulatedExit : std::runtime_error {
  explicit SimulatedExit(Dword code) : std::runtime_error("process exit"), exitCode(code) {}
  Dword exitCode;
};

struct RecordedBox {
  WindowHandle owner = 0;
  std::wstring text;
  std::wstring caption;
  Dword style = 0;
};

struct RecordedChild {
  std::wstring commandLine;
  Dword creationFlags = 0;
  std::wstring applicationName;
  std::wstring currentDirectory;
  bool applicationThere = true;  // no application name, or a file of that name existed
};

// A message that reaches the program's thread while a child runs. A sent one (a broadcast
// with SendMessage) keeps the child from ending until the thread has answered it.
struct SimulatedMessage {
  unsigned message = 0;
  bool sent = true;
};

// What a child process does: fail to start with `startError`, or run `effect`, send or
// post `messages` and exit with `exitCode`; waiting for it or reading its exit code may fail
// with `waitError` or `exitCodeError`.
struct ChildBehaviour {
  Dword startError = 0;
  Dword exitCode = 0;
  std::function<void()> effect;
  std::vector<SimulatedMessage> messages;
  Dword waitError = 0;
  Dword exitCodeError = 0;
  std::deque<Dword> firstExitCodes;  // of the first starts, in order; later ones end exitCode
};

struct RegistryCall {
  std::wstring operation;  // "open", "create", "delete-ex", "delete"
  std::wstring path;       // full path below HKEY_CURRENT_USER
  Dword access = 0;
  Dword options = 0;
};

struct VersionCheck {
  OsVersionInfoEx info;
  Dword typeMask = 0;
  std::uint64_t conditionMask = 0;
};

struct SimulatedPackage {
  std::map<std::wstring, std::wstring> properties;
  bool damaged = false;  // MsiOpenPackageEx fails with 1620
};

// A named mutex. Held by someone else, it is freed at the tick `otherReleasesAt`
// (kInfinite: never); `abandoned`: that holder ends without releasing it. Its access list
// may refuse the program the full access that CreateMutexW asks for, and SYNCHRONIZE too
// (ERROR_ACCESS_DENIED).
struct SimulatedMutex {
  bool heldByProgram = false;
  bool heldByOther = false;
  Dword otherReleasesAt = kInfinite;
  bool abandoned = false;
  bool refusesFullAccess = false;
  bool refusesSynchronize = false;
};

struct SimulatedProduct {
  std::wstring productCode;
  std::wstring upgradeCode;
  std::wstring versionString;
  int state = kInstallStateDefault;
  std::map<std::wstring, int> features;  // feature name -> install state
};

class SimulatedWindows : public Platform {
 public:
  SimulatedWindows();

  // ---- Scripted facts ----
  std::wstring commandLine = L"C:\\Setup\\bootstrapper.exe";
  bool commandLineSplitFails = false;
  WindowHandle ownerWindowHandle = 0x1001;
  std::deque<int> boxAnswers;  // one per box in order; IDOK or IDYES when none is left
  bool administrator = true;
  Dword majorVersion = 10;
  Dword minorVersion = 0;
  Word servicePackMajor = 0;
  bool verifyVersionFails = false;
  Word uiLanguage = 0x0419;
  Word servicePackMinor = 0;
  std::uint8_t productType = 1;
  std::wstring userName = L"SYSTEM";
  bool sessionKnown = true;
  Dword sessionId = 1;  // a user's session
  bool stationFlagsRead = true;
  Dword stationFlags = kWsfVisible;  // of the process's window station
  // Milliseconds since the machine started, as GetTickCount64 tells (it exists unless
  // "GetTickCount64" is among missingProcedures); NtQuerySystemInformation gives the same
  // start unless ntQuerySystemStatus says it fails.
  std::uint64_t tickCount64 = 700000;
  Long ntQuerySystemStatus = 0;
  Dword tickCount = 700000;  // advanced by tests and by child effects
  bool kernel32Loaded = true;
  bool isWow64ProcessPresent = true;
  bool isWow64ProcessFails = false;
  bool wow64 = true;
  // IsWow64Process2 (Windows 10 1511 on) and GetMachineTypeAttributes (Windows 11) exist unless
  // named among missingProcedures: the machine Windows runs on, and what it lets x64 code do.
  Word nativeMachine = kImageFileMachineAmd64;
  Dword x64MachineAttributes = kMachineAttributeUserEnabled;
  // GetFullPathNameW takes a relative path from here.
  std::wstring currentDirectory = L"C:\\Setup";
  bool localRegistryModuleLoaded = false;
  std::set<std::string> missingProcedures;
  std::wstring moduleFileName = L"C:\\Setup\\bootstrapper.exe";
  std::wstring systemDirectory = L"C:\\Windows\\system32";
  Dword systemDirectoryError = 0;  // non-zero: GetSystemDirectoryW fails with it
  std::wstring windowsDirectory = L"C:\\Windows";
  std::map<std::wstring, std::wstring> environment;  // both Win32 and runtime environment
  std::time_t now = 1803891903;                      // 2027-03-01 09:05:03 UTC
  int utcOffsetSeconds = 0;                          // local time = UTC + offset
  bool tokenOpens = true;
  bool holdsShutdownPrivilege = true;
  Dword exitWindowsError = 0;  // non-zero: ExitWindowsEx fails with it
  // The token's user and session: by default an interactive user in session 1.
  std::wstring tokenUserSid = L"S-1-5-21-1004336348-1177238915-682003330-1001";
  Dword tokenSessionId = 1;
  bool tokenInformationFails = false;
  Dword initiateShutdownResult = 0;  // an error code; 0 accepted
  bool initiateSystemShutdownSucceeds = true;
  bool msgWaitFails = false;  // MsgWaitForMultipleObjects fails with ERROR_INVALID_PARAMETER
  // By program: the application name when one is given, else the command line's first token.
  std::map<std::wstring, ChildBehaviour> childBehaviours;
  std::map<std::wstring, SimulatedPackage> packages;  // by full path
  std::vector<SimulatedProduct> products;
  Dword productInfoValueError = 0;  // non-zero: the value query of VersionString fails
  std::map<Word, std::vector<std::uint8_t>> stringTableOverrides;
  // Files made with CreateFile: create fails with createFileError when it is not 0 (for the
  // paths that begin with createFileErrorPrefix); writes fail with ERROR_DISK_FULL once they
  // would pass writableBytes in all.
  Dword createFileError = 0;
  std::wstring createFileErrorPrefix;
  std::size_t writableBytes = static_cast<std::size_t>(-1);
  bool iconPresent = true;
  SimulatedDialog dialog;
  std::map<std::wstring, SimulatedMutex, CaseInsensitiveLess> mutexes;  // by name
  // A release build's manifest (its RCDATA resource); none when empty. Files are read from
  // fileContents; SHA-256 is real, through CNG and CryptoAPI, unless this Windows lacks it.
  std::string releaseManifest;
  bool sha256Available = true;
  // SHGetFolderPathW(CSIDL_COMMON_APPDATA); folders made with a security descriptor (by
  // lower-case path: its SDDL), and links among the folders.
  std::wstring commonAppData = L"C:\\ProgramData";
  std::map<std::wstring, std::wstring> folderAccess;
  std::set<std::wstring> links;
  // Registry values (REG_SZ), by lower-case key path, then value name.
  std::map<std::wstring, std::map<std::wstring, std::wstring>> registryValues;

  // ---- Files and registry (HKEY_CURRENT_USER; HKEY_LOCAL_MACHINE as "HKLM\...") ----
  void AddFile(const std::wstring& path);
  void AddFolder(const std::wstring& path);
  bool PathExists(const std::wstring& path) const;
  // A key last written at `lastWriteTime` (a FILETIME); 0: now.
  void AddKey(const std::wstring& pathBelowCurrentUser, std::uint64_t lastWriteTime = 0);
  std::uint64_t FileTimeNow() const;  // `now` as a FILETIME
  bool KeyExists(const std::wstring& pathBelowCurrentUser) const;

  // ---- The fault switch ----
  // The faultAt-th call of the run that can fail (counted from 1; 0: none) fails as that call
  // documents its failure: the value that means failure, and a plausible error for
  // GetLastError (or the code a Windows Installer, CNG or registry call returns). A close
  // that fails has closed all the same. failableCalls counts the calls; faultedCall names the
  // one that failed (with the file, for CreateFile and WriteFile) and faultedError its error.
  int faultAt = 0;
  int failableCalls = 0;
  std::wstring faultedCall;
  Dword faultedError = 0;

  // ---- Records ----
  std::vector<std::wstring> events;
  std::vector<RecordedBox> boxes;
  std::vector<RecordedChild> children;
  std::vector<RegistryCall> registryCalls;
  std::vector<VersionCheck> versionChecks;
  std::vector<std::pair<Dword, Dword>> exitWindowsCalls;  // flags, reason
  std::vector<std::wstring> standardOutput;
  std::map<std::wstring, std::string> fileContents;  // by the path it was created with
  int openFiles() const { return static_cast<int>(openFiles_.size()); }
  std::vector<std::wstring> openFilePaths() const {
    std::vector<std::wstring> paths;
    for (const auto& [handle, path] : openFiles_) paths.push_back(path);
    return paths;
  }
  std::vector<std::wstring> moduleLookups;
  std::vector<std::wstring> librariesLoaded;
  int msiInternalUiLevel = 0;
  int openMsiHandles() const { return static_cast<int>(openMsiHandles_.size()); }
  int openKernelHandles() const { return static_cast<int>(openKernelHandles_.size()); }
  int openRegistryKeys() const { return static_cast<int>(openKeys_.size()); }
  Dword lastError = 0;

  // ---- Platform ----
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
                           Word* native) override;
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
  struct Search {
    std::vector<FindData> entries;
    std::size_t next = 0;
  };
  struct Process {
    ChildBehaviour behaviour;
    bool waited = false;  // until then it is still running (STILL_ACTIVE)
  };

  bool Faulted(const std::wstring& call, Dword error);
  bool Callable(ProcAddress address, ProcAddress function);
  const SimulatedProduct* FindProduct(const std::wstring& productCode) const;
  std::wstring KeyPath(RegKey key, const std::wstring& subKey) const;
  Long DeleteKey(const std::wstring& path);
  std::vector<FindData> ListFolder(const std::wstring& folder) const;
  void ThrowIfDeadlocked() const;
  Dword WaitForMutex(KernelHandle mutex, Dword milliseconds);
  Dword ExitCodeOfStart(const std::wstring& program, const ChildBehaviour& behaviour);

  std::map<std::wstring, std::vector<FindData>> folders_;  // lower-case folder -> entries
  std::map<std::wstring, std::uint64_t> keys_;  // lower-case paths below HKCU: last write
  std::map<RegKey, std::wstring> openKeys_;
  std::map<MsiHandle, std::wstring> openMsiHandles_;  // handle -> package path
  std::map<KernelHandle, Search> searches_;
  std::map<KernelHandle, Process> processes_;
  std::deque<SimulatedMessage> messageQueue_;  // of the program's one thread
  std::set<KernelHandle> openKernelHandles_;
  std::map<KernelHandle, std::wstring> openFiles_;     // handle -> path
  std::map<KernelHandle, std::wstring> mutexHandles_;  // handle -> name
  std::map<KernelHandle, std::size_t> readPositions_;
  std::map<KernelHandle, std::string> hashes_;  // hash handle -> the data hashed so far
  KernelHandle OpenHandle();
  bool NewHash(KernelHandle provider, KernelHandle* hash);
  bool AddToHash(KernelHandle hash, const std::uint8_t* data, Dword size);
  bool FinishHash(KernelHandle hash, std::uint8_t* digest, Dword size);
  bool CloseHash(KernelHandle hash);
  std::size_t bytesWritten_ = 0;
  KernelHandle nextHandle_ = 0x100;
  RegKey nextKey_ = 0x5000;
  MsiHandle nextMsiHandle_ = 0x40;
};

// Windows wildcard match (* and ?), ignoring case.
bool WildcardMatch(const std::wstring& pattern, const std::wstring& name);

}  // namespace boot::sim
