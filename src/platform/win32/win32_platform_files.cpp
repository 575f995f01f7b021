// Files and folders, environment, clock, standard output and child processes.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/win32/handles.h"
#include "platform/win32/win32_platform.h"

namespace boot {
namespace {

void CopyFindData(const WIN32_FIND_DATAW& found, FindData* data) {
  data->attributes = found.dwFileAttributes;
  data->fileName = found.cFileName;
}

bool IsTerminated(const std::vector<wchar_t>& text) {
  return std::find(text.begin(), text.end(), L'\0') != text.end();
}

}  // namespace

Dword Win32Platform::GetModuleFileName(std::wstring* path, Dword bufferChars) {
  std::vector<wchar_t> buffer(bufferChars + 1, L'\0');
  const DWORD copied = ::GetModuleFileNameW(nullptr, buffer.data(), bufferChars);
  // A cut path is terminated inside the buffer on Vista and later, not on XP.
  const auto written = buffer.begin() + std::min<DWORD>(copied, bufferChars);
  path->assign(buffer.begin(), std::find(buffer.begin(), written, L'\0'));
  return copied;
}

KernelHandle Win32Platform::FindFirstFile(const std::wstring& pattern, FindData* data) {
  WIN32_FIND_DATAW found{};
  const HANDLE find = ::FindFirstFileW(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  CopyFindData(found, data);
  return FromHandle(find);
}

bool Win32Platform::FindNextFile(KernelHandle find, FindData* data) {
  WIN32_FIND_DATAW found{};
  if (!::FindNextFileW(ToHandle(find), &found)) return false;
  CopyFindData(found, data);
  return true;
}

bool Win32Platform::FindClose(KernelHandle find) { return ::FindClose(ToHandle(find)) != FALSE; }

bool Win32Platform::FileExists(const std::wstring& path) {
  struct _stat status;
  return ::_wstat(path.c_str(), &status) == 0;
}

bool Win32Platform::DeleteFile(const std::wstring& path) {
  return ::DeleteFileW(path.c_str()) != FALSE;
}

bool Win32Platform::CreateDirectory(const std::wstring& path, const std::wstring& sddl) {
  if (sddl.empty()) return ::CreateDirectoryW(path.c_str(), nullptr) != FALSE;
  SecurityAttributes attributes(sddl);
  return attributes.made && ::CreateDirectoryW(path.c_str(), &attributes.attributes) != FALSE;
}

bool Win32Platform::RemoveDirectory(const std::wstring& path) {
  return ::RemoveDirectoryW(path.c_str()) != FALSE;
}

Dword Win32Platform::GetFileAttributes(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str());
}

Long Win32Platform::GetFolderPath(int csidl, std::wstring* path) {
  wchar_t buffer[MAX_PATH] = {};
  const HRESULT result = ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
  if (SUCCEEDED(result)) *path = buffer;
  return result;
}

KernelHandle Win32Platform::CreateFile(const std::wstring& path, Dword desiredAccess,
                                       Dword shareMode, Dword creationDisposition,
                                       Dword flagsAndAttributes) {
  const HANDLE file = ::CreateFileW(path.c_str(), desiredAccess, shareMode, nullptr,
                                    creationDisposition, flagsAndAttributes, nullptr);
  return file == INVALID_HANDLE_VALUE ? 0 : FromHandle(file);
}

bool Win32Platform::WriteFile(KernelHandle file, const void* data, Dword size, Dword* written) {
  DWORD count = 0;
  const BOOL done = ::WriteFile(ToHandle(file), data, size, &count, nullptr);
  *written = count;
  return done != FALSE;
}

bool Win32Platform::ReadFile(KernelHandle file, void* buffer, Dword size, Dword* read) {
  DWORD count = 0;
  const BOOL done = ::ReadFile(ToHandle(file), buffer, size, &count, nullptr);
  *read = count;
  return done != FALSE;
}

Dword Win32Platform::GetSystemDirectory(std::vector<wchar_t>* buffer, Dword size) {
  return ::GetSystemDirectoryW(BufferOf(buffer, size), size);
}

Dword Win32Platform::GetWindowsDirectory(std::vector<wchar_t>* buffer, Dword size) {
  return ::GetWindowsDirectoryW(BufferOf(buffer, size), size);
}

Dword Win32Platform::GetFullPathName(const std::wstring& fileName, std::vector<wchar_t>* buffer,
                                     Dword size) {
  return ::GetFullPathNameW(fileName.c_str(), size, BufferOf(buffer, size), nullptr);
}

Dword Win32Platform::GetEnvironmentVariable(const std::wstring& name, wchar_t* buffer, Dword size) {
  return ::GetEnvironmentVariableW(name.c_str(), buffer, size);
}

bool Win32Platform::GetRuntimeEnvironment(const std::wstring& name, std::wstring* value) {
  const wchar_t* found = ::_wgetenv(name.c_str());
  if (found == nullptr) return false;
  *value = found;
  return true;
}

std::time_t Win32Platform::Time() { return std::time(nullptr); }

Dword Win32Platform::GetTickCount() { return ::GetTickCount(); }

bool Win32Platform::LocalTime(std::time_t time, std::tm* local) {
  const std::tm* converted = std::localtime(&time);
  if (converted == nullptr) return false;
  *local = *converted;
  return true;
}

void Win32Platform::PutWs(const std::wstring& text) {
  ::_putws(text.c_str());
  std::fflush(stdout);
}

bool Win32Platform::CreateProcess(const std::wstring& applicationName,
                                  std::vector<wchar_t>* commandLine, Dword creationFlags,
                                  const std::wstring& currentDirectory,
                                  ProcessInformation* information) {
  // CreateProcessW reads up to a terminator and may write into the line.
  if (!IsTerminated(*commandLine)) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  const wchar_t* application = applicationName.empty() ? nullptr : applicationName.c_str();
  const wchar_t* folder = currentDirectory.empty() ? nullptr : currentDirectory.c_str();
  if (!::CreateProcessW(application, commandLine->data(), nullptr, nullptr, FALSE, creationFlags,
                        nullptr, folder, &startup, &started)) {
    return false;
  }
  information->process = FromHandle(started.hProcess);
  information->thread = FromHandle(started.hThread);
  return true;
}

Dword Win32Platform::WaitForSingleObject(KernelHandle handle, Dword milliseconds) {
  return ::WaitForSingleObject(ToHandle(handle), milliseconds);
}

Dword Win32Platform::MsgWaitForMultipleObjects(const std::vector<KernelHandle>& handles,
                                               bool waitAll, Dword milliseconds, Dword wakeMask) {
  std::vector<HANDLE> waited;
  for (KernelHandle handle : handles) waited.push_back(ToHandle(handle));
  return ::MsgWaitForMultipleObjects(static_cast<DWORD>(waited.size()), waited.data(),
                                     waitAll ? TRUE : FALSE, milliseconds, wakeMask);
}

bool Win32Platform::GetExitCodeProcess(KernelHandle process, Dword* exitCode) {
  DWORD code = *exitCode;
  const BOOL done = ::GetExitCodeProcess(ToHandle(process), &code);
  if (done) *exitCode = code;
  return done != FALSE;
}

bool Win32Platform::CloseHandle(KernelHandle handle) {
  return ::CloseHandle(ToHandle(handle)) != FALSE;
}

}  // namespace boot
