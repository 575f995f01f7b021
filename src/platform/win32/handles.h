// Conversions between the seam's plain numbers and the Win32 handle and time types.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/windows_api.h"

namespace boot {

inline HWND ToHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
inline WindowHandle FromHwnd(HWND window) { return reinterpret_cast<WindowHandle>(window); }

inline HANDLE ToHandle(KernelHandle handle) { return reinterpret_cast<HANDLE>(handle); }
inline KernelHandle FromHandle(HANDLE handle) { return reinterpret_cast<KernelHandle>(handle); }

inline HMODULE ToHmodule(ModuleHandle module) { return reinterpret_cast<HMODULE>(module); }
inline ModuleHandle FromHmodule(HMODULE module) { return reinterpret_cast<ModuleHandle>(module); }

inline HICON ToHicon(IconHandle icon) { return reinterpret_cast<HICON>(icon); }
inline IconHandle FromHandleOfImage(HANDLE image) { return reinterpret_cast<IconHandle>(image); }

// The core names the predefined keys by their 32-bit values (HKEY_CURRENT_USER is
// 0x80000001), while Windows defines them sign-extended to the pointer width
// (0xFFFFFFFF80000001 in a 64-bit process). Other keys are opened handles, kept as they are.
inline HKEY ToHkey(RegKey key) {
  const bool predefined = (key >> 31) == 1;
  if (!predefined) return reinterpret_cast<HKEY>(key);
  const LONG value = static_cast<LONG>(static_cast<DWORD>(key));
  return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(value));
}
inline RegKey FromHkey(HKEY key) { return reinterpret_cast<RegKey>(key); }

// SECURITY_ATTRIBUTES holding the descriptor that
// ConvertStringSecurityDescriptorToSecurityDescriptorW makes of an SDDL text, freed with
// LocalFree afterwards without changing the last error of the call that used it.
struct SecurityAttributes {
  explicit SecurityAttributes(const std::wstring& sddl) {
    made = ::ConvertStringSecurityDescriptorToSecurityDescriptorW(
               sddl.c_str(), SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr) != FALSE;
  }
  ~SecurityAttributes() {
    const DWORD error = ::GetLastError();
    if (made) ::LocalFree(attributes.lpSecurityDescriptor);
    ::SetLastError(error);
  }
  SecurityAttributes(const SecurityAttributes&) = delete;
  SecurityAttributes& operator=(const SecurityAttributes&) = delete;

  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
  bool made = false;
};

// A zeroed buffer of exactly `size` elements for the Windows API to write into.
template <typename T>
T* BufferOf(std::vector<T>* buffer, Dword size) {
  buffer->assign(size, T{});
  return buffer->data();
}

inline std::uint64_t FromFileTime(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace boot
