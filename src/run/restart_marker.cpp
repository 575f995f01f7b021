#include "run/restart_marker.h"

namespace boot {
namespace {

const wchar_t kMarkerKey[] = L"Software\\NeedBstrReboot";
const wchar_t kMarkerParent[] = L"Software";
const wchar_t kMarkerName[] = L"NeedBstrReboot";
constexpr Dword kReadAccess = kKeyRead | kKeyWow64_32Key;                   // 0x20219
constexpr Dword kReadWriteAccess = kKeyRead | kKeyWrite | kKeyWow64_32Key;  // 0x2021F

// Newer Windows keeps RegDeleteKeyExW in the local-registry API set; when that is not
// loaded, the plain RegDeleteKeyW of advapi32 does.
void DeleteSubKey(RunContext& context, RegKey parent, const wchar_t* name) {
  ModuleHandle apiSet = context.os.GetModuleHandle(L"API-MS-Win-Core-LocalRegistry-L1-1-0.dll");
  if (apiSet != 0) {
    ProcAddress deleteEx = context.os.GetProcAddress(apiSet, "RegDeleteKeyExW");
    if (deleteEx != 0) context.os.CallRegDeleteKeyEx(deleteEx, parent, name, 0, 0);
    return;
  }
  ModuleHandle advapi = context.os.LoadLibrary(L"advapi32.dll");
  if (advapi == 0) return;
  ProcAddress deletePlain = context.os.GetProcAddress(advapi, "RegDeleteKeyW");
  if (deletePlain != 0) context.os.CallRegDeleteKey(deletePlain, parent, name);
}

}  // namespace

bool RestartMarkerPresent(RunContext& context) {
  RegKey key = 0;
  if (context.os.RegOpenKeyEx(kHkeyCurrentUser, kMarkerKey, 0, kReadAccess, &key) != 0) {
    return false;
  }
  context.os.RegCloseKey(key);
  return true;
}

void CreateRestartMarker(RunContext& context) {
  RegKey key = 0;
  Dword disposition = 0;
  if (context.os.RegCreateKeyEx(kHkeyCurrentUser, kMarkerKey, kRegOptionNonVolatile,
                                kReadWriteAccess, &key, &disposition) == 0) {
    context.os.RegCloseKey(key);
  }
}

void DeleteRestartMarker(RunContext& context) {
  RegKey software = 0;
  if (context.os.RegOpenKeyEx(kHkeyCurrentUser, kMarkerParent, 0, kReadWriteAccess, &software) !=
      0) {
    return;
  }
  DeleteSubKey(context, software, kMarkerName);
  context.os.RegCloseKey(software);
}

}  // namespace boot
