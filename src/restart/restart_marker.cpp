#include "restart/restart_marker.h"

#include "restart/machine_start.h"

namespace boot {
namespace {

const wchar_t kMarkerKey[] = L"Software\\NeedBstrReboot";
const wchar_t kMarkerParent[] = L"Software";
const wchar_t kMarkerName[] = L"NeedBstrReboot";
const wchar_t kWitnessParent[] = L"SOFTWARE\\StalverBrowserPluginPendingRestart";
constexpr Dword kReadAccess = kKeyRead | kKeyWow64_32Key;                   // 0x20219
constexpr Dword kReadWriteAccess = kKeyRead | kKeyWrite | kKeyWow64_32Key;  // 0x2021F
constexpr std::uint64_t kClockCorrection = 60 * kFileTimeSecond;

// Newer Windows keeps RegDeleteKeyExW in the local-registry API set; when that is not
// loaded, the plain RegDeleteKeyW of advapi32 does. Returns the registry's result, or
// ERROR_PROC_NOT_FOUND when no delete function was found (the seam calls no address 0).
Long DeleteSubKey(RunContext& context, RegKey parent, const wchar_t* name) {
  ModuleHandle apiSet = context.os.GetModuleHandle(L"API-MS-Win-Core-LocalRegistry-L1-1-0.dll");
  if (apiSet != 0) {
    ProcAddress deleteEx = context.os.GetProcAddress(apiSet, "RegDeleteKeyExW");
    return context.os.CallRegDeleteKeyEx(deleteEx, parent, name, 0, 0);
  }
  ModuleHandle advapi = context.os.LoadLibrary(L"advapi32.dll");
  ProcAddress deletePlain = context.os.GetProcAddress(advapi, "RegDeleteKeyW");
  return context.os.CallRegDeleteKey(deletePlain, parent, name);
}

// The user of the program's token, who owns HKEY_CURRENT_USER; empty when it cannot be read.
std::wstring AccountSid(RunContext& context) {
  KernelHandle token = 0;
  std::wstring sid;
  if (!context.os.OpenProcessToken(kTokenQuery, &token)) return sid;
  if (!context.os.GetTokenUserSid(token, &sid)) sid.clear();
  context.os.CloseHandle(token);
  return sid;
}

std::wstring WitnessKey(const std::wstring& sid) { return kWitnessParent + (L"\\" + sid); }

// The marker's witness: HKEY_LOCAL_MACHINE\SOFTWARE\StalverBrowserPluginPendingRestart\<SID>,
// volatile, so Windows drops it at its next start. While it exists, the account's marker was
// written since the machine started, whatever the clocks say.
void CreateWitness(RunContext& context) {
  const std::wstring sid = AccountSid(context);
  RegKey key = 0;
  const bool created = !sid.empty() && context.os.RegCreateKeyEx(kHkeyLocalMachine, WitnessKey(sid),
                                                                 kRegOptionVolatile, kReadAccess,
                                                                 &key, nullptr) == 0;
  if (created) context.os.RegCloseKey(key);
  context.log.RestartWitness(sid, created ? "created" : "could NOT be created");
}

bool WitnessPresent(RunContext& context) {
  const std::wstring sid = AccountSid(context);
  RegKey key = 0;
  const bool present = !sid.empty() && context.os.RegOpenKeyEx(kHkeyLocalMachine, WitnessKey(sid),
                                                               0, kReadAccess, &key) == 0;
  if (present) context.os.RegCloseKey(key);
  context.log.RestartWitness(
      sid, present ? "present: a restart is pending" : "absent: the marker's age decides");
  return present;
}

void DeleteWitness(RunContext& context) {
  const std::wstring sid = AccountSid(context);
  RegKey parent = 0;
  if (sid.empty() || context.os.RegOpenKeyEx(kHkeyLocalMachine, kWitnessParent, 0, kReadWriteAccess,
                                             &parent) != 0) {
    return;
  }
  const Long deleted = DeleteSubKey(context, parent, sid.c_str());
  context.os.RegCloseKey(parent);
  if (deleted == static_cast<Long>(kErrorFileNotFound)) return;
  context.log.RestartWitness(sid, deleted == 0 ? "deleted" : "could NOT be deleted");
}

}  // namespace

bool IsRestartRequest(Dword exitCode) {
  return exitCode == kErrorSuccessRebootRequired || exitCode == kErrorSuccessRestartRequired ||
         exitCode == kErrorSuccessRebootInitiated;
}

bool RestartMarkerPresent(RunContext& context) {
  RegKey key = 0;
  if (context.os.RegOpenKeyEx(kHkeyCurrentUser, kMarkerKey, 0, kReadAccess, &key) != 0) {
    context.log.RestartMarker("absent");
    return false;
  }
  context.os.RegCloseKey(key);
  context.log.RestartMarker("found");
  return true;
}

void CreateRestartMarker(RunContext& context) {
  RegKey key = 0;
  Dword disposition = 0;
  if (context.os.RegCreateKeyEx(kHkeyCurrentUser, kMarkerKey, kRegOptionNonVolatile,
                                kReadWriteAccess, &key, &disposition) == 0) {
    context.os.RegCloseKey(key);
    context.log.RestartMarker("created");
    CreateWitness(context);
  } else {
    context.log.RestartMarker("could NOT be created");
  }
}

void DeleteRestartMarker(RunContext& context) {
  RegKey software = 0;
  if (context.os.RegOpenKeyEx(kHkeyCurrentUser, kMarkerParent, 0, kReadWriteAccess, &software) !=
      0) {
    context.log.RestartMarker("could NOT be deleted (HKCU\\Software not opened)");
    return;
  }
  Long deleted = DeleteSubKey(context, software, kMarkerName);
  context.os.RegCloseKey(software);
  context.log.RestartMarker(deleted == 0 ? "deleted" : "could NOT be deleted");
  if (deleted == 0) DeleteWitness(context);
}

bool WrittenBeforeMachineStart(std::uint64_t written, std::uint64_t machineStart) {
  return written + kClockCorrection < machineStart;
}

void RemoveStaleRestartMarker(RunContext& context) {
  RegKey key = 0;
  if (context.os.RegOpenKeyEx(kHkeyCurrentUser, kMarkerKey, 0, kReadAccess, &key) != 0) return;
  std::uint64_t written = 0;
  const Long queried = context.os.RegQueryInfoKeyLastWriteTime(key, &written);
  context.os.RegCloseKey(key);
  if (WitnessPresent(context)) return;
  std::uint64_t started = 0;
  if (queried != 0 || !ReadMachineStartTime(context, &started)) {
    context.log.RestartMarker("found, of unknown age: kept");
    return;
  }
  const bool stale = WrittenBeforeMachineStart(written, started);
  context.log.RestartMarkerAge(written, started, stale);
  if (stale) DeleteRestartMarker(context);
}

}  // namespace boot
