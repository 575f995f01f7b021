// Process token, shutdown and registry.
#include "platform/win32/handles.h"
#include "platform/win32/win32_platform.h"

namespace boot {

bool Win32Platform::OpenProcessToken(Dword desiredAccess, KernelHandle* token) {
  HANDLE opened = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), desiredAccess, &opened)) return false;
  *token = FromHandle(opened);
  return true;
}

bool Win32Platform::LookupPrivilegeValue(const std::wstring& name, Luid* luid) {
  LUID found{};
  if (!::LookupPrivilegeValueW(nullptr, name.c_str(), &found)) return false;
  luid->lowPart = found.LowPart;
  luid->highPart = found.HighPart;
  return true;
}

bool Win32Platform::AdjustTokenPrivileges(KernelHandle token, const Luid& luid, Dword attributes) {
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Luid.LowPart = luid.lowPart;
  privileges.Privileges[0].Luid.HighPart = luid.highPart;
  privileges.Privileges[0].Attributes = attributes;
  return ::AdjustTokenPrivileges(ToHandle(token), FALSE, &privileges, 0, nullptr, nullptr) != FALSE;
}

bool Win32Platform::ExitWindowsEx(Dword flags, Dword reason) {
  return ::ExitWindowsEx(flags, reason) != FALSE;
}

Long Win32Platform::RegOpenKeyEx(RegKey key, const std::wstring& subKey, Dword options,
                                 Dword samDesired, RegKey* result) {
  HKEY opened = nullptr;
  const LONG status = ::RegOpenKeyExW(ToHkey(key), subKey.c_str(), options, samDesired, &opened);
  *result = status == ERROR_SUCCESS ? FromHkey(opened) : 0;
  return status;
}

Long Win32Platform::RegCreateKeyEx(RegKey key, const std::wstring& subKey, Dword options,
                                   Dword samDesired, RegKey* result, Dword* disposition) {
  HKEY created = nullptr;
  DWORD createdOrOpened = 0;
  const LONG status = ::RegCreateKeyExW(ToHkey(key), subKey.c_str(), 0, nullptr, options,
                                        samDesired, nullptr, &created, &createdOrOpened);
  *result = status == ERROR_SUCCESS ? FromHkey(created) : 0;
  if (disposition != nullptr && status == ERROR_SUCCESS) *disposition = createdOrOpened;
  return status;
}

Long Win32Platform::RegCloseKey(RegKey key) { return ::RegCloseKey(ToHkey(key)); }

}  // namespace boot
