// Process token, shutdown, mutexes and registry.
#include <vector>

#include "platform/win32/function_address.h"
#include "platform/win32/handles.h"
#include "platform/win32/win32_platform.h"

namespace boot {
namespace {

// Found at run time: InitiateShutdownW exists from Windows Vista on.
using InitiateShutdownFunction = DWORD(WINAPI*)(LPWSTR, LPWSTR, DWORD, DWORD, DWORD);
using InitiateSystemShutdownExFunction = BOOL(WINAPI*)(LPWSTR, LPWSTR, DWORD, BOOL, BOOL, DWORD);

}  // namespace

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

bool Win32Platform::GetTokenUserSid(KernelHandle token, std::wstring* sid) {
  DWORD size = 0;
  ::GetTokenInformation(ToHandle(token), TokenUser, nullptr, 0, &size);
  if (size == 0) return false;
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(ToHandle(token), TokenUser, buffer.data(), size, &size)) return false;
  LPWSTR text = nullptr;
  const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
  if (!::ConvertSidToStringSidW(user->User.Sid, &text)) return false;
  sid->assign(text);
  ::LocalFree(text);
  return true;
}

bool Win32Platform::GetTokenSessionId(KernelHandle token, Dword* sessionId) {
  DWORD session = 0;
  DWORD size = 0;
  if (!::GetTokenInformation(ToHandle(token), TokenSessionId, &session, sizeof(session), &size)) {
    return false;
  }
  *sessionId = session;
  return true;
}

Dword Win32Platform::CallInitiateShutdown(ProcAddress initiateShutdown, Dword gracePeriod,
                                          Dword shutdownFlags, Dword reason) {
  if (initiateShutdown == 0) return ERROR_PROC_NOT_FOUND;
  return FunctionAt<InitiateShutdownFunction>(initiateShutdown)(nullptr, nullptr, gracePeriod,
                                                                shutdownFlags, reason);
}

bool Win32Platform::CallInitiateSystemShutdownEx(ProcAddress initiateSystemShutdownEx,
                                                 Dword timeout, bool forceAppsClosed,
                                                 bool rebootAfterShutdown, Dword reason) {
  if (initiateSystemShutdownEx == 0) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }
  return FunctionAt<InitiateSystemShutdownExFunction>(initiateSystemShutdownEx)(
             nullptr, nullptr, timeout, forceAppsClosed ? TRUE : FALSE,
             rebootAfterShutdown ? TRUE : FALSE, reason) != FALSE;
}

KernelHandle Win32Platform::CreateMutex(const std::wstring& sddl, bool initialOwner,
                                        const std::wstring& name) {
  SecurityAttributes attributes(sddl);
  if (!attributes.made) return 0;
  return FromHandle(
      ::CreateMutexW(&attributes.attributes, initialOwner ? TRUE : FALSE, name.c_str()));
}

KernelHandle Win32Platform::OpenMutex(Dword desiredAccess, const std::wstring& name) {
  return FromHandle(::OpenMutexW(desiredAccess, FALSE, name.c_str()));
}

bool Win32Platform::ReleaseMutex(KernelHandle mutex) {
  return ::ReleaseMutex(ToHandle(mutex)) != FALSE;
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

Long Win32Platform::RegSetValueEx(RegKey key, const std::wstring& name, const std::wstring& text) {
  const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(ToHkey(key), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), bytes);
}

Long Win32Platform::RegQueryValueEx(RegKey key, const std::wstring& name, Dword* type,
                                    std::vector<wchar_t>* buffer, Dword* size) {
  DWORD valueType = 0;
  DWORD bytes = *size;
  const LONG status = ::RegQueryValueExW(
      ToHkey(key), name.c_str(), nullptr, &valueType,
      reinterpret_cast<BYTE*>(BufferOf(buffer, *size / sizeof(wchar_t))), &bytes);
  *type = valueType;
  *size = bytes;
  return status;
}

Long Win32Platform::RegDeleteValue(RegKey key, const std::wstring& name) {
  return ::RegDeleteValueW(ToHkey(key), name.c_str());
}

Long Win32Platform::RegQueryInfoKeyLastWriteTime(RegKey key, std::uint64_t* lastWriteTime) {
  FILETIME written{};
  const LONG status = ::RegQueryInfoKeyW(ToHkey(key), nullptr, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr, &written);
  if (status == ERROR_SUCCESS) *lastWriteTime = FromFileTime(written);
  return status;
}

}  // namespace boot
