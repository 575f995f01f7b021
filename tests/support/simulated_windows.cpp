#include "support/simulated_windows.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "resources/resource_ids.h"
#include "support/string_table.h"

namespace boot::sim {
namespace {

constexpr ModuleHandle kKernel32 = 0x7000;
constexpr ModuleHandle kLocalRegistry = 0x7100;
constexpr ModuleHandle kAdvapi32 = 0x7200;
constexpr ProcAddress kIsWow64Process = 0x9001;
constexpr ProcAddress kRegDeleteKeyEx = 0x9002;
constexpr ProcAddress kRegDeleteKey = 0x9003;
constexpr ProcAddress kInitiateShutdown = 0x9004;
constexpr ProcAddress kInitiateSystemShutdownEx = 0x9005;
constexpr ProcAddress kGetTickCount64 = 0x9006;
constexpr ProcAddress kNtQuerySystemInformation = 0x9007;
constexpr ProcAddress kIsWow64Process2 = 0x9008;
constexpr ProcAddress kGetMachineTypeAttributes = 0x9009;
constexpr ModuleHandle kNtdll = 0x7300;
constexpr std::uint64_t kFileTimeOf1970 = 116444736000000000;
const wchar_t kInstallerMutex[] = L"Global\\_MSIExecute";
constexpr IconHandle kIcon = 0x1C0;
constexpr Long kErrorAccessDenied = 5;
constexpr Dword kProductCodeChars = 39;
// What the fault switch makes calls fail with.
constexpr Dword kErrorNotEnoughMemory = 8;
constexpr Dword kErrorModNotFound = 126;
constexpr Dword kErrorNotOwner = 288;
constexpr Dword kErrorInvalidWindowHandle = 1400;
constexpr Dword kErrorNoSuchPrivilege = 1313;
constexpr Dword kErrorBadConfiguration = 1610;
constexpr Long kStatusAccessDenied = static_cast<Long>(0xC0000022);
constexpr Long kStatusNoMemory = static_cast<Long>(0xC0000017);
constexpr Dword kNteNoMemory = 0x8009000E;

std::wstring FolderOf(const std::wstring& path) {
  auto slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring NameOf(const std::wstring& path) {
  auto slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring Decimal(std::uint64_t value) { return std::to_wstring(value); }

// Copies text into a Windows Installer style buffer: *size is the buffer in characters on
// entry and the text length on return; ERROR_MORE_DATA when the buffer is too small.
Dword CopyOut(const std::wstring& text, wchar_t* buffer, Dword* size) {
  Dword capacity = *size;
  *size = static_cast<Dword>(text.size());
  if (buffer == nullptr) return kErrorSuccess;
  if (capacity <= text.size()) {
    if (capacity > 0) {
      std::copy_n(text.begin(), capacity - 1, buffer);
      buffer[capacity - 1] = L'\0';
    }
    return kErrorMoreData;
  }
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = L'\0';
  return kErrorSuccess;
}

// Splits a command line by the rules of CommandLineToArgvW.
std::vector<std::wstring> SplitCommandLine(const std::wstring& line) {
  std::vector<std::wstring> args;
  std::size_t i = 0;
  std::wstring program;
  bool quoted = false;
  for (; i < line.size(); ++i) {
    wchar_t c = line[i];
    if (c == L'"') {
      quoted = !quoted;
    } else if (!quoted && (c == L' ' || c == L'\t')) {
      break;
    } else {
      program += c;
    }
  }
  args.push_back(program);
  while (true) {
    while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
    if (i >= line.size()) break;
    std::wstring arg;
    quoted = false;
    while (i < line.size()) {
      wchar_t c = line[i];
      if (c == L'\\') {
        std::size_t slashes = 0;
        while (i < line.size() && line[i] == L'\\') ++slashes, ++i;
        if (i < line.size() && line[i] == L'"') {
          arg.append(slashes / 2, L'\\');
          if (slashes % 2 == 1) {
            arg += L'"';
            ++i;
          }
        } else {
          arg.append(slashes, L'\\');
        }
        continue;
      }
      if (c == L'"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
          arg += L'"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      if (!quoted && (c == L' ' || c == L'\t')) break;
      arg += c;
      ++i;
    }
    args.push_back(arg);
  }
  return args;
}

int ConditionFor(std::uint64_t mask, Dword typeBit) {
  int index = 0;
  while (((typeBit >> index) & 1u) == 0) ++index;
  return static_cast<int>((mask >> (index * 3)) & 7u);
}

bool Compare(Dword actual, Dword wanted, int condition) {
  switch (condition) {
    case 1:
      return actual == wanted;
    case 2:
      return actual > wanted;
    case 3:
      return actual >= wanted;
    case 4:
      return actual < wanted;
    case 5:
      return actual <= wanted;
    default:
      return false;
  }
}

}  // namespace

std::wstring FoldCase(const std::wstring& text) {
  std::wstring folded = text;
  for (auto& c : folded) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c >= 0x0410 && c <= 0x042F) c = static_cast<wchar_t>(c + 0x20);
    if (c == 0x0401) c = 0x0451;
  }
  return folded;
}

bool WildcardMatch(const std::wstring& pattern, const std::wstring& name) {
  std::wstring p = FoldCase(pattern), n = FoldCase(name);
  std::size_t pi = 0, ni = 0, star = std::wstring::npos, mark = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == L'?' || p[pi] == n[ni])) {
      ++pi, ++ni;
    } else if (pi < p.size() && p[pi] == L'*') {
      star = pi++;
      mark = ni;
    } else if (star != std::wstring::npos) {
      pi = star + 1;
      ni = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == L'*') ++pi;
  return pi == p.size();
}

SimulatedWindows::SimulatedWindows() : dialog(SimulatedDialog::CspSetupTemplate()) {
  environment[L"TMP"] = L"C:\\Temp";
  environment[L"WINDIR"] = L"C:\\Windows";
  AddFolder(L"C:\\Temp");
  AddFolder(commonAppData);
  AddFile(moduleFileName);
  AddKey(L"Software");
}

// ---- The fault switch ----

// Windows' own function at `address`: the seam refuses 0 as a function that was not found;
// any other address but the function's own would crash the program.
bool SimulatedWindows::Callable(ProcAddress address, ProcAddress function) {
  if (address == function) return true;
  if (address != 0) throw std::logic_error("a call through an address that is no function's");
  lastError = kErrorProcNotFound;
  return false;
}

bool SimulatedWindows::Faulted(const std::wstring& call, Dword error) {
  if (++failableCalls != faultAt) return false;
  lastError = error;
  faultedCall = call;
  faultedError = error;
  events.push_back(L"fault:" + call);
  return true;
}

// ---- Files and registry ----

void SimulatedWindows::AddFile(const std::wstring& path) {
  auto folder = FolderOf(path);
  if (!folder.empty() && !PathExists(folder)) AddFolder(folder);
  folders_[FoldCase(folder)].push_back(FindData{0x20, NameOf(path)});
}

void SimulatedWindows::AddFolder(const std::wstring& path) {
  if (PathExists(path)) return;
  auto parent = FolderOf(path);
  if (!parent.empty() && !PathExists(parent) && parent.find(L'\\') != std::wstring::npos) {
    AddFolder(parent);
  }
  if (!parent.empty())
    folders_[FoldCase(parent)].push_back(FindData{kFileAttributeDirectory, NameOf(path)});
  folders_[FoldCase(path)];
}

bool SimulatedWindows::PathExists(const std::wstring& path) const {
  if (folders_.count(FoldCase(path))) return true;
  auto entries = folders_.find(FoldCase(FolderOf(path)));
  if (entries == folders_.end()) return false;
  auto name = FoldCase(NameOf(path));
  return std::any_of(entries->second.begin(), entries->second.end(),
                     [&](const FindData& entry) { return FoldCase(entry.fileName) == name; });
}

void SimulatedWindows::AddKey(const std::wstring& path, std::uint64_t lastWriteTime) {
  const std::uint64_t written = lastWriteTime != 0 ? lastWriteTime : FileTimeNow();
  std::wstring folded = FoldCase(path);
  for (std::size_t slash = folded.find(L'\\'); slash != std::wstring::npos;
       slash = folded.find(L'\\', slash + 1)) {
    keys_.emplace(folded.substr(0, slash), written);
  }
  keys_[folded] = written;
}

std::uint64_t SimulatedWindows::FileTimeNow() const {
  return kFileTimeOf1970 + static_cast<std::uint64_t>(now) * 10000000;
}

bool SimulatedWindows::KeyExists(const std::wstring& path) const {
  return keys_.count(FoldCase(path)) != 0;
}

std::vector<FindData> SimulatedWindows::ListFolder(const std::wstring& folder) const {
  std::vector<FindData> entries;
  auto found = folders_.find(FoldCase(folder));
  if (found == folders_.end()) return entries;
  if (folder.find(L'\\') != std::wstring::npos) {
    entries.push_back(FindData{kFileAttributeDirectory, L"."});
    entries.push_back(FindData{kFileAttributeDirectory, L".."});
  }
  entries.insert(entries.end(), found->second.begin(), found->second.end());
  return entries;
}

// ---- Process ----

std::wstring SimulatedWindows::GetCommandLine() { return commandLine; }

bool SimulatedWindows::CommandLineToArgv(const std::wstring& line,
                                         std::vector<std::wstring>* args) {
  if (Faulted(L"CommandLineToArgv", kErrorNotEnoughMemory)) return false;
  if (commandLineSplitFails) return false;
  *args = SplitCommandLine(line);
  return true;
}

Dword SimulatedWindows::GetLastError() { return lastError; }

void SimulatedWindows::Exit(Dword exitCode) {
  events.push_back(L"exit:" + Decimal(exitCode));
  throw SimulatedExit(exitCode);
}

// ---- Windows ----

WindowHandle SimulatedWindows::CreateWindowEx(Dword exStyle, const std::wstring& className,
                                              const std::wstring& windowName, Dword style, int x,
                                              int y, int width, int height) {
  if (Faulted(L"CreateWindowEx", kErrorNotEnoughMemory)) return 0;
  events.push_back(L"window:" + Decimal(exStyle) + L"," + className + L"," + windowName + L"," +
                   Decimal(style) + L"," + std::to_wstring(x) + L"," + std::to_wstring(y) + L"," +
                   std::to_wstring(width) + L"," + std::to_wstring(height));
  return ownerWindowHandle;
}

int SimulatedWindows::MessageBox(WindowHandle owner, const std::wstring& text,
                                 const std::wstring& caption, Dword type) {
  if (Faulted(L"MessageBox", kErrorNotEnoughMemory)) return 0;
  boxes.push_back(RecordedBox{owner, text, caption, type});
  events.push_back(L"box:" + caption + L":" + text);
  if (!boxAnswers.empty()) {
    int answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
  }
  return (type & 0xF) == kMbYesNo ? kIdYes : kIdOk;
}

std::intptr_t SimulatedWindows::DialogBoxParam(int templateId, WindowHandle owner,
                                               DialogHandler* handler, std::intptr_t initParam) {
  if (Faulted(L"DialogBoxParam", kErrorNotEnoughMemory)) return -1;
  events.push_back(L"dialog:" + std::to_wstring(templateId));
  return dialog.Run(templateId, owner, handler, initParam);
}

bool SimulatedWindows::EndDialog(WindowHandle, std::intptr_t result) {
  if (Faulted(L"EndDialog", kErrorInvalidWindowHandle)) return false;
  dialog.End(result);
  return true;
}

WindowHandle SimulatedWindows::GetDlgItem(WindowHandle, int controlId) {
  if (Faulted(L"GetDlgItem", kErrorInvalidWindowHandle)) return 0;
  return dialog.controls.count(controlId) ? static_cast<WindowHandle>(0x10000 + controlId) : 0;
}

bool SimulatedWindows::ShowWindow(WindowHandle window, int command) {
  if (window < 0x10000) return false;
  auto& control = dialog.At(static_cast<int>(window - 0x10000));
  bool wasVisible = control.visible;
  control.visible = command != kSwHide;
  return wasVisible;
}

bool SimulatedWindows::CheckDlgButton(WindowHandle, int controlId, unsigned check) {
  if (Faulted(L"CheckDlgButton", kErrorInvalidWindowHandle)) return false;
  dialog.At(controlId).checked = check;
  return true;
}

unsigned SimulatedWindows::IsDlgButtonChecked(WindowHandle, int controlId) {
  return dialog.At(controlId).checked;
}

std::wstring SimulatedWindows::GetDlgItemText(WindowHandle, int controlId, int maxCount) {
  const auto& text = dialog.At(controlId).text;
  return maxCount <= 0 ? std::wstring() : text.substr(0, static_cast<std::size_t>(maxCount - 1));
}

bool SimulatedWindows::SetDlgItemText(WindowHandle, int controlId, const std::wstring& text) {
  if (Faulted(L"SetDlgItemText", kErrorInvalidWindowHandle)) return false;
  dialog.At(controlId).text = text;
  return true;
}

std::intptr_t SimulatedWindows::SendMessage(WindowHandle, unsigned message, std::uintptr_t wParam,
                                            std::intptr_t lParam) {
  if (message == kWmSetIcon) dialog.iconsSet.emplace_back(wParam, lParam);
  return 0;
}

IconHandle SimulatedWindows::LoadOwnImage(int resourceId, unsigned type, int cx, int cy,
                                          unsigned flags) {
  if (Faulted(L"LoadOwnImage", kErrorNotEnoughMemory)) return 0;
  events.push_back(L"load-image:" + std::to_wstring(resourceId) + L"," + Decimal(type) + L"," +
                   std::to_wstring(cx) + L"x" + std::to_wstring(cy) + L"," + Decimal(flags));
  return iconPresent && resourceId == 100 && type == kImageIcon ? kIcon : 0;
}

bool SimulatedWindows::DestroyIcon(IconHandle icon) {
  events.push_back(L"destroy-icon:" + Decimal(icon));
  return icon == kIcon;
}

std::vector<std::uint8_t> SimulatedWindows::FindOwnResource(Word type, Word blockNumber,
                                                            Word language) {
  if (Faulted(L"FindOwnResource", kErrorNotEnoughMemory)) return {};
  if (language != 0) return {};
  if (type == kRtRcdata && blockNumber == IDR_RELEASE_MANIFEST) {
    return std::vector<std::uint8_t>(releaseManifest.begin(), releaseManifest.end());
  }
  if (type != kRtString) return {};
  auto overridden = stringTableOverrides.find(blockNumber);
  if (overridden != stringTableOverrides.end()) return overridden->second;
  return BuildCatalogueBlock(blockNumber);
}

// ---- Modules ----

ModuleHandle SimulatedWindows::GetModuleHandle(const std::wstring& moduleName) {
  if (Faulted(L"GetModuleHandle", kErrorModNotFound)) return 0;
  moduleLookups.push_back(moduleName);
  auto name = FoldCase(moduleName);
  if (name == L"kernel32" || name == L"kernel32.dll") return kernel32Loaded ? kKernel32 : 0;
  if (name == L"ntdll.dll") return kNtdll;
  if (name == L"advapi32.dll") return kAdvapi32;
  if (name == L"api-ms-win-core-localregistry-l1-1-0.dll") {
    return localRegistryModuleLoaded ? kLocalRegistry : 0;
  }
  return 0;
}

ModuleHandle SimulatedWindows::LoadLibrary(const std::wstring& fileName) {
  if (Faulted(L"LoadLibrary", kErrorModNotFound)) return 0;
  librariesLoaded.push_back(fileName);
  return FoldCase(fileName) == L"advapi32.dll" ? kAdvapi32 : 0;
}

ProcAddress SimulatedWindows::GetProcAddress(ModuleHandle module, const std::string& procName) {
  if (Faulted(L"GetProcAddress", kErrorProcNotFound)) return 0;
  if (missingProcedures.count(procName)) return 0;
  if (module == kKernel32 && procName == "IsWow64Process") {
    return isWow64ProcessPresent ? kIsWow64Process : 0;
  }
  if (module == kKernel32 && procName == "GetTickCount64") return kGetTickCount64;
  if (module == kKernel32 && procName == "IsWow64Process2") return kIsWow64Process2;
  if (module == kKernel32 && procName == "GetMachineTypeAttributes") {
    return kGetMachineTypeAttributes;
  }
  if (module == kNtdll && procName == "NtQuerySystemInformation") return kNtQuerySystemInformation;
  if (module == kLocalRegistry && procName == "RegDeleteKeyExW") return kRegDeleteKeyEx;
  if (module == kAdvapi32 && procName == "RegDeleteKeyW") return kRegDeleteKey;
  if (module == kAdvapi32 && procName == "RegDeleteKeyExW") return kRegDeleteKeyEx;
  if (module == kAdvapi32 && procName == "InitiateShutdownW") return kInitiateShutdown;
  if (module == kAdvapi32 && procName == "InitiateSystemShutdownExW") {
    return kInitiateSystemShutdownEx;
  }
  return 0;
}

bool SimulatedWindows::CallIsWow64Process(ProcAddress isWow64Process, bool* result) {
  if (Faulted(L"CallIsWow64Process", kErrorAccessDenied)) return false;
  events.push_back(L"is-wow64-process");
  if (!Callable(isWow64Process, kIsWow64Process) || isWow64ProcessFails) return false;
  *result = wow64;
  return true;
}

bool SimulatedWindows::CallIsWow64Process2(ProcAddress isWow64Process2, Word* processMachine,
                                           Word* native) {
  events.push_back(L"wow64-process2");
  if (isWow64Process2 != kIsWow64Process2) return false;
  *processMachine = wow64 ? 0x14C : 0;  // IMAGE_FILE_MACHINE_I386 under WoW64
  *native = nativeMachine;
  return true;
}

Long SimulatedWindows::CallGetMachineTypeAttributes(ProcAddress getMachineTypeAttributes,
                                                    Word machine, Dword* attributes) {
  events.push_back(L"machine-attributes:" + Decimal(machine));
  if (getMachineTypeAttributes != kGetMachineTypeAttributes) return static_cast<Long>(0x80004001);
  *attributes = machine == kImageFileMachineAmd64 ? x64MachineAttributes : 0;
  return 0;
}

Long SimulatedWindows::CallRegDeleteKeyEx(ProcAddress regDeleteKeyEx, RegKey key,
                                          const std::wstring& subKey, Dword samDesired,
                                          Dword reserved) {
  if (Faulted(L"CallRegDeleteKeyEx", kErrorAccessDenied))
    return static_cast<Long>(kErrorAccessDenied);
  if (!Callable(regDeleteKeyEx, kRegDeleteKeyEx)) return static_cast<Long>(kErrorProcNotFound);
  auto path = KeyPath(key, subKey);
  registryCalls.push_back(RegistryCall{L"delete-ex", path, samDesired, reserved});
  return DeleteKey(path);
}

Long SimulatedWindows::CallRegDeleteKey(ProcAddress regDeleteKey, RegKey key,
                                        const std::wstring& subKey) {
  if (Faulted(L"CallRegDeleteKey", kErrorAccessDenied))
    return static_cast<Long>(kErrorAccessDenied);
  if (!Callable(regDeleteKey, kRegDeleteKey)) return static_cast<Long>(kErrorProcNotFound);
  auto path = KeyPath(key, subKey);
  registryCalls.push_back(RegistryCall{L"delete", path, 0, 0});
  return DeleteKey(path);
}

Long SimulatedWindows::DeleteKey(const std::wstring& path) {
  auto folded = FoldCase(path);
  if (!keys_.count(folded)) return static_cast<Long>(kErrorFileNotFound);
  auto prefix = folded + L"\\";
  for (const auto& [key, written] : keys_) {
    if (key.compare(0, prefix.size(), prefix) == 0) return kErrorAccessDenied;
  }
  keys_.erase(folded);
  events.push_back(L"reg-delete:" + path);
  return 0;
}

// ---- System facts ----

bool SimulatedWindows::IsUserAnAdmin() {
  if (Faulted(L"IsUserAnAdmin", 0)) return false;  // it sets no error
  return administrator;
}

std::uint64_t SimulatedWindows::VerSetConditionMask(std::uint64_t conditionMask, Dword typeMask,
                                                    std::uint8_t condition) {
  for (int index = 0; index < 8; ++index) {
    if ((typeMask >> index) & 1u) {
      conditionMask &= ~(std::uint64_t{7} << (index * 3));
      conditionMask |= std::uint64_t{condition & 7u} << (index * 3);
    }
  }
  return conditionMask;
}

bool SimulatedWindows::VerifyVersionInfo(const OsVersionInfoEx& info, Dword typeMask,
                                         std::uint64_t conditionMask) {
  if (Faulted(L"VerifyVersionInfo", kErrorNotEnoughMemory)) return false;
  versionChecks.push_back(VersionCheck{info, typeMask, conditionMask});
  if (verifyVersionFails) return false;
  const std::pair<Dword, std::pair<Dword, Dword>> fields[] = {
      {kVerMajorVersion, {majorVersion, info.majorVersion}},
      {kVerMinorVersion, {minorVersion, info.minorVersion}},
      {kVerServicePackMajor, {servicePackMajor, info.servicePackMajor}},
  };
  for (const auto& [bit, values] : fields) {
    if ((typeMask & bit) &&
        !Compare(values.first, values.second, ConditionFor(conditionMask, bit))) {
      return false;
    }
  }
  return true;
}

void SimulatedWindows::RtlGetNtVersionNumbers(Dword* major, Dword* minor, Dword* build) {
  if (major) *major = majorVersion;
  if (minor) *minor = minorVersion;
  if (build) *build = 0xF0000000u | 19045u;
}

Word SimulatedWindows::GetSystemDefaultUILanguage() { return uiLanguage; }

bool SimulatedWindows::GetVersionEx(OsVersionInfoEx* info) {
  if (Faulted(L"GetVersionEx", kErrorNotEnoughMemory)) return false;
  info->majorVersion = majorVersion;
  info->minorVersion = minorVersion;
  info->buildNumber = 19045;
  info->servicePackMajor = servicePackMajor;
  info->servicePackMinor = servicePackMinor;
  info->productType = productType;
  return true;
}

bool SimulatedWindows::GetUserName(wchar_t* buffer, Dword* size) {
  if (Faulted(L"GetUserName", kErrorNotEnoughMemory)) return false;
  if (*size <= userName.size()) return false;
  std::copy(userName.begin(), userName.end(), buffer);
  buffer[userName.size()] = L'\0';
  *size = static_cast<Dword>(userName.size() + 1);
  return true;
}

bool SimulatedWindows::ProcessIdToSessionId(Dword* session) {
  if (Faulted(L"ProcessIdToSessionId", kErrorAccessDenied)) return false;
  if (sessionKnown) *session = sessionId;
  return sessionKnown;
}

bool SimulatedWindows::GetProcessWindowStationFlags(Dword* flags) {
  if (Faulted(L"GetProcessWindowStationFlags", kErrorAccessDenied)) return false;
  if (!stationFlagsRead) {
    lastError = kErrorAccessDenied;
    return false;
  }
  *flags = stationFlags;
  return true;
}

std::uint64_t SimulatedWindows::GetSystemTimeAsFileTime() { return FileTimeNow(); }

bool SimulatedWindows::CallGetTickCount64(ProcAddress getTickCount64, std::uint64_t* milliseconds) {
  if (Faulted(L"CallGetTickCount64", kErrorProcNotFound)) return false;
  if (!Callable(getTickCount64, kGetTickCount64)) return false;
  *milliseconds = tickCount64;
  return true;
}

// SystemTimeOfDayInformation (3): the machine's start time first, as a little-endian FILETIME.
Long SimulatedWindows::CallNtQuerySystemInformation(ProcAddress ntQuerySystemInformation,
                                                    Dword informationClass,
                                                    std::vector<std::uint8_t>* buffer) {
  if (Faulted(L"CallNtQuerySystemInformation", kErrorAccessDenied)) return kStatusAccessDenied;
  events.push_back(L"nt-query-system:" + Decimal(informationClass) + L"," +
                   Decimal(buffer->size()));
  if (!Callable(ntQuerySystemInformation, kNtQuerySystemInformation)) {
    return static_cast<Long>(0xC000007A);  // STATUS_PROCEDURE_NOT_FOUND
  }
  if (ntQuerySystemStatus != 0) return ntQuerySystemStatus;
  std::uint64_t started = FileTimeNow() - tickCount64 * 10000;
  for (std::size_t byte = 0; byte < 8; ++byte, started >>= 8) {
    (*buffer)[byte] = static_cast<std::uint8_t>(started & 0xFF);
  }
  return 0;
}

// ---- Files ----

Dword SimulatedWindows::GetModuleFileName(std::wstring* path, Dword bufferChars) {
  if (Faulted(L"GetModuleFileName", kErrorNotEnoughMemory)) return 0;
  *path = moduleFileName.substr(0, bufferChars);
  return static_cast<Dword>(path->size());
}

KernelHandle SimulatedWindows::FindFirstFile(const std::wstring& pattern, FindData* data) {
  if (Faulted(L"FindFirstFile", kErrorAccessDenied)) return 0;
  events.push_back(L"find:" + pattern);
  Search search;
  for (const auto& entry : ListFolder(FolderOf(pattern))) {
    if (WildcardMatch(NameOf(pattern), entry.fileName)) search.entries.push_back(entry);
  }
  if (search.entries.empty()) {
    lastError = kErrorFileNotFound;
    return 0;
  }
  *data = search.entries[0];
  search.next = 1;
  KernelHandle handle = nextHandle_++;
  searches_[handle] = search;
  openKernelHandles_.insert(handle);
  return handle;
}

bool SimulatedWindows::FindNextFile(KernelHandle find, FindData* data) {
  if (Faulted(L"FindNextFile", kErrorAccessDenied)) return false;
  auto& search = searches_.at(find);
  if (search.next >= search.entries.size()) {
    lastError = 18;  // ERROR_NO_MORE_FILES
    return false;
  }
  *data = search.entries[search.next++];
  return true;
}

bool SimulatedWindows::FindClose(KernelHandle find) {
  searches_.erase(find);
  const bool closed = openKernelHandles_.erase(find) == 1;
  return !Faulted(L"FindClose", kErrorInvalidHandle) && closed;
}

bool SimulatedWindows::FileExists(const std::wstring& path) {
  if (Faulted(L"FileExists", kErrorAccessDenied)) return false;
  return PathExists(path);
}

bool SimulatedWindows::DeleteFile(const std::wstring& path) {
  if (Faulted(L"DeleteFile", kErrorAccessDenied)) return false;
  events.push_back(L"delete-file:" + path);
  auto entries = folders_.find(FoldCase(FolderOf(path)));
  if (entries == folders_.end()) return false;
  auto name = FoldCase(NameOf(path));
  auto& list = entries->second;
  auto found = std::find_if(list.begin(), list.end(), [&](const FindData& entry) {
    return FoldCase(entry.fileName) == name && !(entry.attributes & kFileAttributeDirectory);
  });
  if (found == list.end()) return false;
  list.erase(found);
  return true;
}

bool SimulatedWindows::CreateDirectory(const std::wstring& path, const std::wstring& sddl) {
  if (Faulted(L"CreateDirectory", kErrorAccessDenied)) return false;
  events.push_back(L"create-folder:" + path + (sddl.empty() ? L"" : L"," + sddl));
  if (PathExists(path) || !PathExists(FolderOf(path))) {
    lastError = PathExists(path) ? kErrorAlreadyExists : kErrorPathNotFound;
    return false;
  }
  AddFolder(path);
  if (!sddl.empty()) folderAccess[FoldCase(path)] = sddl;
  return true;
}

bool SimulatedWindows::RemoveDirectory(const std::wstring& path) {
  if (Faulted(L"RemoveDirectory", kErrorAccessDenied)) return false;
  events.push_back(L"remove-folder:" + path);
  auto folder = folders_.find(FoldCase(path));
  if (folder == folders_.end() || (!folder->second.empty() && !links.count(FoldCase(path)))) {
    lastError = folder == folders_.end() ? kErrorFileNotFound : 145;  // ERROR_DIR_NOT_EMPTY
    return false;
  }
  folders_.erase(folder);
  auto& parent = folders_[FoldCase(FolderOf(path))];
  parent.erase(std::remove_if(parent.begin(), parent.end(),
                              [&](const FindData& entry) {
                                return FoldCase(entry.fileName) == FoldCase(NameOf(path));
                              }),
               parent.end());
  return true;
}

Dword SimulatedWindows::GetFileAttributes(const std::wstring& path) {
  if (Faulted(L"GetFileAttributes", kErrorAccessDenied)) return kInvalidFileAttributes;
  if (!PathExists(path)) {
    lastError = kErrorFileNotFound;
    return kInvalidFileAttributes;
  }
  if (!folders_.count(FoldCase(path))) return 0x20;  // FILE_ATTRIBUTE_ARCHIVE
  return kFileAttributeDirectory | (links.count(FoldCase(path)) ? kFileAttributeReparsePoint : 0);
}

Long SimulatedWindows::GetFolderPath(int csidl, std::wstring* path) {
  if (Faulted(L"GetFolderPath", kErrorAccessDenied)) return static_cast<Long>(0x80070005);
  if (csidl != kCsidlCommonAppData || commonAppData.empty()) return static_cast<Long>(0x80070002);
  *path = commonAppData;
  return 0;
}

KernelHandle SimulatedWindows::CreateFile(const std::wstring& path, Dword desiredAccess,
                                          Dword shareMode, Dword creationDisposition,
                                          Dword flagsAndAttributes) {
  if (Faulted(L"CreateFile " + path, kErrorAccessDenied)) return 0;
  events.push_back(L"create-file:" + path + L"," + Decimal(desiredAccess) + L"," +
                   Decimal(shareMode) + L"," + Decimal(creationDisposition) + L"," +
                   Decimal(flagsAndAttributes));
  const bool refused = createFileError != 0 && path.rfind(createFileErrorPrefix, 0) == 0;
  if (!refused && creationDisposition == kOpenExisting && desiredAccess == kGenericRead) {
    const bool folder = folders_.count(FoldCase(path)) != 0;
    if (folder || !PathExists(path)) {
      lastError = folder ? kErrorAccessDenied : PathExists(FolderOf(path)) ? 2 : 3;
      return 0;
    }
    openFiles_[nextHandle_] = path;
    return nextHandle_++;
  }
  const bool replace =
      creationDisposition == kCreateAlways && PathExists(path) && !folders_.count(FoldCase(path));
  if (replace && !refused) {
    fileContents[path].clear();
    openFiles_[nextHandle_] = path;
    return nextHandle_++;
  }
  if (refused || (creationDisposition != kCreateNew && creationDisposition != kCreateAlways)) {
    lastError = refused ? createFileError : static_cast<Dword>(kErrorAccessDenied);
    return 0;
  }
  if (PathExists(path)) {
    lastError = kErrorFileExists;
    return 0;
  }
  if (!PathExists(FolderOf(path))) {
    lastError = kErrorPathNotFound;
    return 0;
  }
  AddFile(path);
  fileContents[path];
  KernelHandle handle = nextHandle_++;
  openFiles_[handle] = path;
  return handle;
}

bool SimulatedWindows::WriteFile(KernelHandle file, const void* data, Dword size, Dword* written) {
  if (Faulted(L"WriteFile " + (openFiles_.count(file) ? openFiles_[file] : L""), kErrorDiskFull)) {
    *written = 0;
    return false;
  }
  *written = 0;
  auto found = openFiles_.find(file);
  if (found == openFiles_.end()) {
    lastError = 6;  // ERROR_INVALID_HANDLE
    return false;
  }
  if (bytesWritten_ + size > writableBytes) {
    lastError = kErrorDiskFull;
    return false;
  }
  fileContents[found->second].append(static_cast<const char*>(data), size);
  bytesWritten_ += size;
  *written = size;
  return true;
}

bool SimulatedWindows::ReadFile(KernelHandle file, void* buffer, Dword size, Dword* read) {
  if (Faulted(L"ReadFile", kErrorAccessDenied)) return false;
  *read = 0;
  auto found = openFiles_.find(file);
  if (found == openFiles_.end()) return false;
  const std::string& content = fileContents[found->second];
  std::size_t& position = readPositions_[file];
  *read = static_cast<Dword>(std::min<std::size_t>(size, content.size() - position));
  std::memcpy(buffer, content.data() + position, *read);
  position += *read;
  return true;
}

namespace {
Dword CopyDirectory(const std::wstring& value, std::vector<wchar_t>* buffer, Dword size) {
  buffer->assign(size, L'\0');
  if (value.size() + 1 > size) return static_cast<Dword>(value.size() + 1);
  std::copy(value.begin(), value.end(), buffer->begin());
  return static_cast<Dword>(value.size());
}
}  // namespace

Dword SimulatedWindows::GetSystemDirectory(std::vector<wchar_t>* buffer, Dword size) {
  if (Faulted(L"GetSystemDirectory", kErrorNotEnoughMemory)) return 0;
  if (systemDirectoryError != 0) {
    lastError = systemDirectoryError;
    buffer->assign(size, L'\0');
    return 0;
  }
  return CopyDirectory(systemDirectory, buffer, size);
}

Dword SimulatedWindows::GetFullPathName(const std::wstring& fileName, std::vector<wchar_t>* buffer,
                                        Dword size) {
  if (Faulted(L"GetFullPathName", kErrorNotEnoughMemory)) return 0;
  if (fileName.empty()) {
    lastError = 123;  // ERROR_INVALID_NAME
    return 0;
  }
  // A path with a drive or a server is full; any other is taken from the current folder.
  const bool full = fileName.compare(0, 2, L"\\\\") == 0 || fileName.find(L':') == 1;
  return CopyDirectory(full ? fileName : currentDirectory + L"\\" + fileName, buffer, size);
}

Dword SimulatedWindows::GetWindowsDirectory(std::vector<wchar_t>* buffer, Dword size) {
  if (Faulted(L"GetWindowsDirectory", kErrorNotEnoughMemory)) return 0;
  if (windowsDirectory.empty()) {
    lastError = kErrorPathNotFound;
    buffer->assign(size, L'\0');
    return 0;
  }
  return CopyDirectory(windowsDirectory, buffer, size);
}

// ---- Environment, clock, output ----

Dword SimulatedWindows::GetEnvironmentVariable(const std::wstring& name, wchar_t* buffer,
                                               Dword size) {
  if (Faulted(L"GetEnvironmentVariable", kErrorNotEnoughMemory)) return 0;
  events.push_back(L"getenv:" + name);
  auto found = environment.find(name);
  if (found == environment.end()) {
    lastError = kErrorEnvVarNotFound;
    return 0;
  }
  const auto& value = found->second;
  if (buffer == nullptr || size <= value.size()) return static_cast<Dword>(value.size() + 1);
  std::copy(value.begin(), value.end(), buffer);
  buffer[value.size()] = L'\0';
  return static_cast<Dword>(value.size());
}

bool SimulatedWindows::GetRuntimeEnvironment(const std::wstring& name, std::wstring* value) {
  if (Faulted(L"GetRuntimeEnvironment", kErrorNotEnoughMemory)) return false;
  auto found = environment.find(name);
  if (found == environment.end()) return false;
  *value = found->second;
  return true;
}

std::time_t SimulatedWindows::Time() { return now; }

Dword SimulatedWindows::GetTickCount() { return tickCount; }

bool SimulatedWindows::LocalTime(std::time_t time, std::tm* local) {
  if (Faulted(L"LocalTime", kErrorNotEnoughMemory)) return false;
  std::time_t shifted = time + utcOffsetSeconds;
  return gmtime_r(&shifted, local) != nullptr;
}

void SimulatedWindows::PutWs(const std::wstring& text) {
  standardOutput.push_back(text);
  events.push_back(L"stdout:" + text);
}

// ---- Child processes ----

bool SimulatedWindows::CreateProcess(const std::wstring& applicationName,
                                     std::vector<wchar_t>* commandLine, Dword creationFlags,
                                     const std::wstring& currentDirectory,
                                     ProcessInformation* information) {
  if (Faulted(L"CreateProcess", kErrorNotEnoughMemory)) return false;
  std::wstring line(commandLine->data());
  children.push_back(RecordedChild{line, creationFlags, applicationName, currentDirectory,
                                   applicationName.empty() || PathExists(applicationName)});
  events.push_back(L"run:" + line);
  auto program = applicationName.empty() ? SplitCommandLine(line).front() : applicationName;
  ChildBehaviour behaviour;
  for (auto& [name, scripted] : childBehaviours) {
    if (FoldCase(name) != FoldCase(program)) continue;
    behaviour = scripted;
    if (!scripted.firstExitCodes.empty()) scripted.firstExitCodes.pop_front();
  }
  if (behaviour.startError != 0) {
    lastError = behaviour.startError;
    return false;
  }
  if (behaviour.effect) behaviour.effect();
  messageQueue_.insert(messageQueue_.end(), behaviour.messages.begin(), behaviour.messages.end());
  information->process = nextHandle_++;
  information->thread = nextHandle_++;
  behaviour.exitCode = ExitCodeOfStart(program, behaviour);
  processes_[information->process] = Process{behaviour};
  openKernelHandles_.insert(information->process);
  openKernelHandles_.insert(information->thread);
  return true;
}

// Windows Installer takes its mutex for every installation: msiexec started while the
// program holds it ends with 1618.
Dword SimulatedWindows::ExitCodeOfStart(const std::wstring& program,
                                        const ChildBehaviour& behaviour) {
  auto installer = mutexes.find(kInstallerMutex);
  if (FoldCase(program).find(L"msiexec.exe") != std::wstring::npos && installer != mutexes.end() &&
      installer->second.heldByProgram) {
    events.push_back(L"msiexec-met-the-program-holding-_MSIExecute");
    return kErrorInstallAlreadyRunning;
  }
  return behaviour.firstExitCodes.empty() ? behaviour.exitCode : behaviour.firstExitCodes.front();
}

Dword SimulatedWindows::WaitForSingleObject(KernelHandle handle, Dword milliseconds) {
  if (Faulted(L"WaitForSingleObject", kErrorInvalidHandle)) return kWaitFailed;
  events.push_back(L"wait:" + Decimal(milliseconds));
  if (mutexHandles_.count(handle)) return WaitForMutex(handle, milliseconds);
  ThrowIfDeadlocked();
  auto found = processes_.find(handle);
  lastError = found == processes_.end() ? 6 : found->second.behaviour.waitError;
  if (lastError != 0) return kWaitFailed;
  found->second.waited = true;
  return kWaitObject0;
}

// Takes the mutex when it is free, or becomes free within `milliseconds`; time passes.
Dword SimulatedWindows::WaitForMutex(KernelHandle mutex, Dword milliseconds) {
  SimulatedMutex& held = mutexes[mutexHandles_.at(mutex)];
  bool abandoned = false;
  if (held.heldByOther) {
    const Dword untilFree = held.otherReleasesAt - tickCount;
    if (held.otherReleasesAt == kInfinite || untilFree > milliseconds) {
      tickCount += milliseconds;
      return kWaitTimeout;
    }
    tickCount = held.otherReleasesAt;
    held.heldByOther = false;
    abandoned = held.abandoned;
  }
  held.heldByProgram = true;
  events.push_back(L"take-mutex:" + mutexHandles_.at(mutex));
  return abandoned ? kWaitAbandoned0 : kWaitObject0;
}

// The program waits for a child that waits for the program's answer: neither ever ends.
void SimulatedWindows::ThrowIfDeadlocked() const {
  for (const auto& waiting : messageQueue_) {
    if (waiting.sent) throw std::logic_error("deadlock: a sent message is never answered");
  }
}

Dword SimulatedWindows::MsgWaitForMultipleObjects(const std::vector<KernelHandle>& handles,
                                                  bool waitAll, Dword milliseconds,
                                                  Dword wakeMask) {
  if (Faulted(L"MsgWaitForMultipleObjects", kErrorInvalidHandle)) return kWaitFailed;
  events.push_back(L"msg-wait:" + Decimal(handles.size()) + L"," + Decimal(waitAll) + L"," +
                   Decimal(milliseconds) + L"," + Decimal(wakeMask));
  if (msgWaitFails) {
    lastError = 87;
    return kWaitFailed;
  }
  const bool wakes = std::any_of(
      messageQueue_.begin(), messageQueue_.end(), [wakeMask](const SimulatedMessage& waiting) {
        return (wakeMask & (waiting.sent ? kQsSendMessage : kQsPostMessage)) != 0;
      });
  if (wakes) return kWaitObject0 + static_cast<Dword>(handles.size());
  if (handles.empty()) {
    tickCount += milliseconds;
    return kWaitTimeout;
  }
  if (handles.size() == 1 && mutexHandles_.count(handles[0])) {
    return WaitForMutex(handles[0], milliseconds);
  }
  ThrowIfDeadlocked();
  for (KernelHandle handle : handles) {
    if (!processes_.count(handle)) return kWaitFailed;
    processes_[handle].waited = true;
  }
  return kWaitObject0;
}

// Answers every sent message on the way, as PeekMessageW does, then takes a posted one.
bool SimulatedWindows::PeekMessage(WindowMessage* message, WindowHandle window, unsigned filterMin,
                                   unsigned filterMax, unsigned removeFlags) {
  events.push_back(L"peek:" + Decimal(window) + L"," + Decimal(filterMin) + L"," +
                   Decimal(filterMax) + L"," + Decimal(removeFlags));
  for (const auto& waiting : messageQueue_) {
    if (waiting.sent) events.push_back(L"answer-sent:" + Decimal(waiting.message));
  }
  auto sent = [](const SimulatedMessage& waiting) { return waiting.sent; };
  messageQueue_.erase(std::remove_if(messageQueue_.begin(), messageQueue_.end(), sent),
                      messageQueue_.end());
  if (messageQueue_.empty()) return false;
  *message = WindowMessage{};
  message->message = messageQueue_.front().message;
  if (removeFlags & kPmRemove) messageQueue_.pop_front();
  return true;
}

std::intptr_t SimulatedWindows::DispatchMessage(const WindowMessage& message) {
  events.push_back(L"dispatch:" + Decimal(message.message));
  return 0;
}

bool SimulatedWindows::GetExitCodeProcess(KernelHandle process, Dword* exitCode) {
  if (Faulted(L"GetExitCodeProcess", kErrorInvalidHandle)) return false;
  auto found = processes_.find(process);
  lastError = found == processes_.end() ? 6 : found->second.behaviour.exitCodeError;
  if (lastError == 0) *exitCode = found->second.waited ? found->second.behaviour.exitCode : 259;
  return lastError == 0;
}

bool SimulatedWindows::CloseHandle(KernelHandle handle) {
  readPositions_.erase(handle);
  mutexHandles_.erase(handle);
  const bool file = openFiles_.erase(handle) == 1;
  events.push_back(file ? L"close-file" : L"close-handle");
  const bool closed = file || openKernelHandles_.erase(handle) == 1;
  return !Faulted(L"CloseHandle", kErrorInvalidHandle) && closed;
}

// ---- Mutexes (names compare without case, as the object manager's do) ----

KernelHandle SimulatedWindows::CreateMutex(const std::wstring& sddl, bool initialOwner,
                                           const std::wstring& name) {
  if (Faulted(L"CreateMutex", kErrorAccessDenied)) return 0;
  events.push_back(L"create-mutex:" + name + L"," + sddl + L"," + Decimal(initialOwner));
  const bool existed = mutexes.count(name) != 0;
  if (existed && (mutexes[name].refusesFullAccess || mutexes[name].refusesSynchronize)) {
    lastError = kErrorAccessDenied;
    return 0;
  }
  if (!existed) mutexes[name] = SimulatedMutex{initialOwner, false, kInfinite, false};
  lastError = existed ? kErrorAlreadyExists : 0;
  return OpenMutex(kSynchronize, name);
}

KernelHandle SimulatedWindows::OpenMutex(Dword desiredAccess, const std::wstring& name) {
  if (Faulted(L"OpenMutex", kErrorAccessDenied)) return 0;
  events.push_back(L"open-mutex:" + name + L"," + Decimal(desiredAccess));
  auto found = mutexes.find(name);
  const bool refused = found != mutexes.end() &&
                       (found->second.refusesSynchronize ||
                        (found->second.refusesFullAccess && desiredAccess != kSynchronize));
  if (found == mutexes.end() || refused) {
    lastError = refused ? kErrorAccessDenied : kErrorFileNotFound;
    return 0;
  }
  const KernelHandle handle = OpenHandle();
  mutexHandles_[handle] = name;
  return handle;
}

bool SimulatedWindows::ReleaseMutex(KernelHandle mutex) {
  if (Faulted(L"ReleaseMutex", kErrorNotOwner)) return false;
  auto found = mutexHandles_.find(mutex);
  if (found == mutexHandles_.end()) return false;
  SimulatedMutex& held = mutexes[found->second];
  if (!held.heldByProgram) return false;
  held.heldByProgram = false;
  events.push_back(L"release-mutex:" + found->second);
  return true;
}

// ---- Token and shutdown ----

bool SimulatedWindows::OpenProcessToken(Dword desiredAccess, KernelHandle* token) {
  if (Faulted(L"OpenProcessToken", kErrorAccessDenied)) return false;
  events.push_back(L"open-token:" + Decimal(desiredAccess));
  if (!tokenOpens) {
    lastError = kErrorAccessDenied;
    return false;
  }
  *token = nextHandle_++;
  openKernelHandles_.insert(*token);
  return true;
}

bool SimulatedWindows::LookupPrivilegeValue(const std::wstring& name, Luid* luid) {
  if (Faulted(L"LookupPrivilegeValue", kErrorNoSuchPrivilege)) return false;
  events.push_back(L"lookup-privilege:" + name);
  *luid = Luid{19, 0};
  return true;
}

bool SimulatedWindows::AdjustTokenPrivileges(KernelHandle, const Luid& luid, Dword attributes) {
  if (Faulted(L"AdjustTokenPrivileges", kErrorAccessDenied)) return false;
  events.push_back(L"adjust-privilege:" + Decimal(luid.lowPart) + L"," + Decimal(attributes));
  lastError = holdsShutdownPrivilege ? 0 : kErrorNotAllAssigned;
  return true;
}

bool SimulatedWindows::ExitWindowsEx(Dword flags, Dword reason) {
  if (Faulted(L"ExitWindowsEx", kErrorAccessDenied)) return false;
  exitWindowsCalls.emplace_back(flags, reason);
  events.push_back(L"exit-windows:" + Decimal(flags) + L"," + Decimal(reason));
  lastError = exitWindowsError;
  return exitWindowsError == 0;
}

bool SimulatedWindows::GetTokenUserSid(KernelHandle, std::wstring* sid) {
  if (Faulted(L"GetTokenUserSid", kErrorAccessDenied)) return false;
  events.push_back(L"token-user");
  if (tokenInformationFails) return false;
  *sid = tokenUserSid;
  return true;
}

bool SimulatedWindows::GetTokenSessionId(KernelHandle, Dword* sessionId) {
  if (Faulted(L"GetTokenSessionId", kErrorAccessDenied)) return false;
  events.push_back(L"token-session");
  if (tokenInformationFails) return false;
  *sessionId = tokenSessionId;
  return true;
}

Dword SimulatedWindows::CallInitiateShutdown(ProcAddress initiateShutdown, Dword gracePeriod,
                                             Dword shutdownFlags, Dword reason) {
  if (Faulted(L"CallInitiateShutdown", kErrorAccessDenied)) return kErrorAccessDenied;
  if (!Callable(initiateShutdown, kInitiateShutdown)) return kErrorProcNotFound;
  events.push_back(L"initiate-shutdown:" + Decimal(gracePeriod) + L"," + Decimal(shutdownFlags) +
                   L"," + Decimal(reason));
  return initiateShutdownResult;
}

bool SimulatedWindows::CallInitiateSystemShutdownEx(ProcAddress initiateSystemShutdownEx,
                                                    Dword timeout, bool forceAppsClosed,
                                                    bool rebootAfterShutdown, Dword reason) {
  if (Faulted(L"CallInitiateSystemShutdownEx", kErrorAccessDenied)) return false;
  if (!Callable(initiateSystemShutdownEx, kInitiateSystemShutdownEx)) return false;
  events.push_back(L"initiate-system-shutdown:" + Decimal(timeout) + L"," +
                   Decimal(forceAppsClosed) + L"," + Decimal(rebootAfterShutdown) + L"," +
                   Decimal(reason));
  if (!initiateSystemShutdownSucceeds) lastError = kErrorAccessDenied;
  return initiateSystemShutdownSucceeds;
}

// ---- Registry ----

std::wstring SimulatedWindows::KeyPath(RegKey key, const std::wstring& subKey) const {
  if (key == kHkeyCurrentUser) return subKey;
  if (key == kHkeyLocalMachine) return L"HKLM\\" + subKey;
  auto found = openKeys_.find(key);
  std::wstring base = found == openKeys_.end() ? L"?" : found->second;
  return subKey.empty() ? base : base + L"\\" + subKey;
}

Long SimulatedWindows::RegOpenKeyEx(RegKey key, const std::wstring& subKey, Dword options,
                                    Dword samDesired, RegKey* result) {
  if (Faulted(L"RegOpenKeyEx", kErrorAccessDenied)) return static_cast<Long>(kErrorAccessDenied);
  auto path = KeyPath(key, subKey);
  registryCalls.push_back(RegistryCall{L"open", path, samDesired, options});
  if (!KeyExists(path)) return static_cast<Long>(kErrorFileNotFound);
  *result = nextKey_++;
  openKeys_[*result] = path;
  return 0;
}

Long SimulatedWindows::RegCreateKeyEx(RegKey key, const std::wstring& subKey, Dword options,
                                      Dword samDesired, RegKey* result, Dword* disposition) {
  if (Faulted(L"RegCreateKeyEx", kErrorAccessDenied)) return static_cast<Long>(kErrorAccessDenied);
  auto path = KeyPath(key, subKey);
  registryCalls.push_back(RegistryCall{L"create", path, samDesired, options});
  bool existed = KeyExists(path);
  if (!existed) AddKey(path);
  events.push_back(L"reg-create:" + path);
  if (disposition) *disposition = existed ? 2 : 1;
  *result = nextKey_++;
  openKeys_[*result] = path;
  return 0;
}

Long SimulatedWindows::RegCloseKey(RegKey key) {
  const bool closed = openKeys_.erase(key) == 1;
  return Faulted(L"RegCloseKey", kErrorInvalidHandle) || !closed ? static_cast<Long>(6) : 0;
}

Long SimulatedWindows::RegSetValueEx(RegKey key, const std::wstring& name,
                                     const std::wstring& text) {
  if (Faulted(L"RegSetValueEx", kErrorAccessDenied)) return static_cast<Long>(kErrorAccessDenied);
  auto open = openKeys_.find(key);
  if (open == openKeys_.end()) return 6;  // ERROR_INVALID_HANDLE
  events.push_back(L"reg-set:" + open->second + L"," + name + L"=" + text);
  registryValues[FoldCase(open->second)][FoldCase(name)] = text;
  return 0;
}

Long SimulatedWindows::RegQueryValueEx(RegKey key, const std::wstring& name, Dword* type,
                                       std::vector<wchar_t>* buffer, Dword* size) {
  if (Faulted(L"RegQueryValueEx", kErrorAccessDenied)) return static_cast<Long>(kErrorAccessDenied);
  auto open = openKeys_.find(key);
  if (open == openKeys_.end()) return 6;  // ERROR_INVALID_HANDLE
  const auto& values = registryValues[FoldCase(open->second)];
  auto found = values.find(FoldCase(name));
  if (found == values.end()) return static_cast<Long>(kErrorFileNotFound);
  const Dword bytes = static_cast<Dword>((found->second.size() + 1) * sizeof(wchar_t));
  *type = kRegSz;
  const Long status = bytes > *size ? static_cast<Long>(kErrorMoreData) : 0;
  buffer->assign(*size / sizeof(wchar_t), L'\0');
  if (status == 0) std::copy(found->second.begin(), found->second.end(), buffer->begin());
  *size = bytes;
  return status;
}

Long SimulatedWindows::RegDeleteValue(RegKey key, const std::wstring& name) {
  if (Faulted(L"RegDeleteValue", kErrorAccessDenied)) return static_cast<Long>(kErrorAccessDenied);
  auto open = openKeys_.find(key);
  if (open == openKeys_.end()) return 6;  // ERROR_INVALID_HANDLE
  events.push_back(L"reg-delete-value:" + open->second + L"," + name);
  return registryValues[FoldCase(open->second)].erase(FoldCase(name)) == 1
             ? 0
             : static_cast<Long>(kErrorFileNotFound);
}

Long SimulatedWindows::RegQueryInfoKeyLastWriteTime(RegKey key, std::uint64_t* lastWriteTime) {
  if (Faulted(L"RegQueryInfoKeyLastWriteTime", kErrorAccessDenied))
    return static_cast<Long>(kErrorAccessDenied);
  auto open = openKeys_.find(key);
  if (open == openKeys_.end()) return 6;  // ERROR_INVALID_HANDLE
  *lastWriteTime = keys_.at(FoldCase(open->second));
  return 0;
}

// ---- Windows Installer ----

int SimulatedWindows::MsiSetInternalUI(int uiLevel) {
  if (Faulted(L"MsiSetInternalUI", 0)) return 0;
  events.push_back(L"msi-ui:" + std::to_wstring(uiLevel));
  int previous = msiInternalUiLevel;
  msiInternalUiLevel = uiLevel;
  return previous;
}

Dword SimulatedWindows::MsiOpenPackageEx(const std::wstring& packagePath, Dword options,
                                         MsiHandle* handle) {
  if (Faulted(L"MsiOpenPackageEx", kErrorInstallPackageOpenFailed))
    return kErrorInstallPackageOpenFailed;
  events.push_back(L"msi-open:" + packagePath + L"," + Decimal(options));
  for (const auto& [path, package] : packages) {
    if (FoldCase(path) != FoldCase(packagePath)) continue;
    if (package.damaged) return kErrorInstallPackageInvalid;
    *handle = nextMsiHandle_++;
    openMsiHandles_[*handle] = path;
    return kErrorSuccess;
  }
  return kErrorInstallPackageOpenFailed;
}

Dword SimulatedWindows::MsiGetProperty(MsiHandle install, const std::wstring& name, wchar_t* value,
                                       Dword* size) {
  if (Faulted(L"MsiGetProperty", kErrorInvalidHandle)) return kErrorInvalidHandle;
  auto open = openMsiHandles_.find(install);
  if (open == openMsiHandles_.end()) return 6;  // ERROR_INVALID_HANDLE
  events.push_back(L"msi-property:" + name + L"," + Decimal(*size));
  const auto& properties = packages.at(open->second).properties;
  auto found = properties.find(name);
  return CopyOut(found == properties.end() ? std::wstring() : found->second, value, size);
}

Dword SimulatedWindows::MsiEnumRelatedProducts(const std::wstring& upgradeCode, Dword,
                                               Dword productIndex, wchar_t* productBuffer) {
  if (Faulted(L"MsiEnumRelatedProducts", kErrorBadConfiguration)) return kErrorBadConfiguration;
  Dword index = 0;
  for (const auto& product : products) {
    if (product.upgradeCode != upgradeCode) continue;
    if (index++ != productIndex) continue;
    Dword size = kProductCodeChars;
    return CopyOut(product.productCode, productBuffer, &size);
  }
  return kErrorNoMoreItems;
}

Dword SimulatedWindows::MsiViewClose(MsiHandle) {
  return Faulted(L"MsiViewClose", kErrorInvalidHandle) ? kErrorInvalidHandle : kErrorSuccess;
}

Dword SimulatedWindows::MsiCloseHandle(MsiHandle handle) {
  events.push_back(L"msi-close:" + Decimal(handle));
  const bool closed = openMsiHandles_.erase(handle) == 1;
  return Faulted(L"MsiCloseHandle", kErrorInvalidHandle) || !closed ? kErrorInvalidHandle
                                                                    : kErrorSuccess;
}

const SimulatedProduct* SimulatedWindows::FindProduct(const std::wstring& productCode) const {
  for (const auto& product : products) {
    if (product.productCode == productCode) return &product;
  }
  return nullptr;
}

Dword SimulatedWindows::MsiGetProductInfo(const std::wstring& product, const std::wstring& property,
                                          wchar_t* value, Dword* size) {
  if (Faulted(L"MsiGetProductInfo", kErrorBadConfiguration)) return kErrorBadConfiguration;
  const auto* found = FindProduct(product);
  if (found == nullptr || product.empty()) return kErrorUnknownProduct;
  if (property != L"VersionString") return 1608;  // ERROR_UNKNOWN_PROPERTY
  if (value != nullptr && productInfoValueError != 0) return productInfoValueError;
  return CopyOut(found->versionString, value, size);
}

int SimulatedWindows::MsiQueryProductState(const std::wstring& product) {
  if (Faulted(L"MsiQueryProductState", 0)) return -1;
  const auto* found = FindProduct(product);
  return found == nullptr || product.empty() ? -1 : found->state;
}

int SimulatedWindows::MsiQueryFeatureState(const std::wstring& product,
                                           const std::wstring& feature) {
  if (Faulted(L"MsiQueryFeatureState", 0)) return -1;
  const auto* found = FindProduct(product);
  if (found == nullptr) return -1;
  auto state = found->features.find(feature);
  return state == found->features.end() ? -1 : state->second;
}

Dword SimulatedWindows::MsiSourceListClearAll(const std::wstring& product, Dword reserved) {
  if (Faulted(L"MsiSourceListClearAll", kErrorBadConfiguration)) return kErrorBadConfiguration;
  events.push_back(L"msi-source-clear:" + product + L"," + Decimal(reserved));
  return FindProduct(product) ? kErrorSuccess : kErrorUnknownProduct;
}

Dword SimulatedWindows::MsiSourceListSetInfo(const std::wstring& product, int context,
                                             Dword options, const std::wstring& property,
                                             const std::wstring& value) {
  if (Faulted(L"MsiSourceListSetInfo", kErrorBadConfiguration)) return kErrorBadConfiguration;
  events.push_back(L"msi-source-set:" + product + L"," + std::to_wstring(context) + L"," +
                   Decimal(options) + L"," + property + L"=" + value);
  return FindProduct(product) ? kErrorSuccess : kErrorUnknownProduct;
}

// ---- SHA-256: CNG and CryptoAPI over one real digest, kernel handles for theirs ----

namespace {
constexpr Dword kHashObjectBytes = 0x136;
Long Status(bool done) { return done ? 0 : static_cast<Long>(0xC0000008); }  // invalid handle
}  // namespace

KernelHandle SimulatedWindows::OpenHandle() {
  openKernelHandles_.insert(nextHandle_);
  return nextHandle_++;
}

bool SimulatedWindows::NewHash(KernelHandle provider, KernelHandle* hash) {
  lastError = 0x80090008;  // NTE_BAD_ALGID
  if (!sha256Available || !openKernelHandles_.count(provider)) return false;
  hashes_[*hash = OpenHandle()];
  return true;
}

bool SimulatedWindows::AddToHash(KernelHandle hash, const std::uint8_t* data, Dword size) {
  if (!hashes_.count(hash)) return false;
  hashes_[hash].append(reinterpret_cast<const char*>(data), size);
  return true;
}

bool SimulatedWindows::FinishHash(KernelHandle hash, std::uint8_t* digest, Dword size) {
  unsigned length = 0;
  return hashes_.count(hash) && size == 32 &&
         EVP_Digest(hashes_[hash].data(), hashes_[hash].size(), digest, &length, EVP_sha256(),
                    nullptr) == 1;
}

bool SimulatedWindows::CloseHash(KernelHandle hash) {
  return hashes_.erase(hash) == 1 && openKernelHandles_.erase(hash) == 1;
}

Long SimulatedWindows::BCryptOpenAlgorithmProvider(KernelHandle* algorithm,
                                                   const std::wstring& algorithmId, Dword flags) {
  if (Faulted(L"BCryptOpenAlgorithmProvider", static_cast<Dword>(kStatusNoMemory)))
    return kStatusNoMemory;
  events.push_back(L"bcrypt-open:" + algorithmId + L"," + Decimal(flags));
  *algorithm = OpenHandle();
  return 0;
}

Long SimulatedWindows::BCryptGetProperty(KernelHandle, const std::wstring& property,
                                         std::uint8_t* output, Dword size, Dword* result) {
  if (Faulted(L"BCryptGetProperty", static_cast<Dword>(kStatusNoMemory))) return kStatusNoMemory;
  std::memcpy(output, &kHashObjectBytes, *result = 4);
  return Status(property == L"ObjectLength" && size == 4);
}

Long SimulatedWindows::BCryptCreateHash(KernelHandle algorithm, KernelHandle* hash,
                                        std::uint8_t* hashObject, Dword hashObjectSize) {
  if (Faulted(L"BCryptCreateHash", static_cast<Dword>(kStatusNoMemory))) return kStatusNoMemory;
  return Status(hashObject && hashObjectSize >= kHashObjectBytes && NewHash(algorithm, hash));
}

Long SimulatedWindows::BCryptHashData(KernelHandle hash, const std::uint8_t* input, Dword size) {
  if (Faulted(L"BCryptHashData", static_cast<Dword>(kStatusNoMemory))) return kStatusNoMemory;
  return Status(AddToHash(hash, input, size));
}

Long SimulatedWindows::BCryptFinishHash(KernelHandle hash, std::uint8_t* output, Dword size) {
  if (Faulted(L"BCryptFinishHash", static_cast<Dword>(kStatusNoMemory))) return kStatusNoMemory;
  return Status(FinishHash(hash, output, size));
}

Long SimulatedWindows::BCryptDestroyHash(KernelHandle hash) {
  const bool closed = CloseHash(hash);
  return Status(!Faulted(L"BCryptDestroyHash", kErrorInvalidHandle) && closed);
}

Long SimulatedWindows::BCryptCloseAlgorithmProvider(KernelHandle algorithm) {
  const bool closed = openKernelHandles_.erase(algorithm) == 1;
  return Status(!Faulted(L"BCryptCloseAlgorithmProvider", kErrorInvalidHandle) && closed);
}

bool SimulatedWindows::CryptAcquireContext(KernelHandle* provider, Dword providerType,
                                           Dword flags) {
  if (Faulted(L"CryptAcquireContext", kNteNoMemory)) return false;
  events.push_back(L"crypt-acquire:" + Decimal(providerType) + L"," + Decimal(flags));
  *provider = OpenHandle();
  return true;
}

bool SimulatedWindows::CryptCreateHash(KernelHandle provider, Dword algorithm, KernelHandle* hash) {
  if (Faulted(L"CryptCreateHash", kNteNoMemory)) return false;
  return algorithm == kCalgSha256 && NewHash(provider, hash);
}

bool SimulatedWindows::CryptHashData(KernelHandle hash, const std::uint8_t* data, Dword size) {
  if (Faulted(L"CryptHashData", kNteNoMemory)) return false;
  return AddToHash(hash, data, size);
}

bool SimulatedWindows::CryptGetHashParam(KernelHandle hash, Dword parameter, std::uint8_t* data,
                                         Dword* size) {
  if (Faulted(L"CryptGetHashParam", kNteNoMemory)) return false;
  return parameter == kHpHashVal && FinishHash(hash, data, *size);
}

bool SimulatedWindows::CryptDestroyHash(KernelHandle hash) {
  const bool closed = CloseHash(hash);
  return !Faulted(L"CryptDestroyHash", kErrorInvalidHandle) && closed;
}

bool SimulatedWindows::CryptReleaseContext(KernelHandle provider) {
  const bool closed = openKernelHandles_.erase(provider) == 1;
  return !Faulted(L"CryptReleaseContext", kErrorInvalidHandle) && closed;
}

}  // namespace boot::sim
