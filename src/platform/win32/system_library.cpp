#include "platform/win32/system_library.h"

#include <string>

namespace boot {
namespace {

// Systems without the LOAD_LIBRARY_SEARCH_* flags (XP, and Vista and 7 without
// KB2533623) reject them with ERROR_INVALID_PARAMETER. There the DLL is loaded by its full
// path in the system directory, its own dependencies searched from that folder first.
HMODULE LoadByFullSystemPath(const wchar_t* fileName) {
  wchar_t folder[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::wstring path(folder, length);
  path += L'\\';
  path += fileName;
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
  HMODULE module = ::LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr || ::GetLastError() != ERROR_INVALID_PARAMETER) return module;
  return LoadByFullSystemPath(fileName);
}

}  // namespace boot
