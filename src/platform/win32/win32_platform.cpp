// Process, modules and system facts.
#include "platform/win32/win32_platform.h"

#include <cstdlib>

#include "platform/win32/function_address.h"
#include "platform/win32/handles.h"
#include "platform/win32/system_library.h"

namespace boot {
namespace {

// IsUserAnAdmin is exported from shell32.dll by ordinal only on some releases.
constexpr WORD kIsUserAnAdminOrdinal = 680;

using IsUserAnAdminFunction = BOOL(WINAPI*)();
using RtlGetNtVersionNumbersFunction = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
using ProcessIdToSessionIdFunction = BOOL(WINAPI*)(DWORD, DWORD*);
using IsWow64ProcessFunction = decltype(&::IsWow64Process);
using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
using GetMachineTypeAttributesFunction = HRESULT(WINAPI*)(USHORT, int*);
using GetTickCount64Function = ULONGLONG(WINAPI*)();
using NtQuerySystemInformationFunction = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
using RegDeleteKeyExFunction = decltype(&::RegDeleteKeyExW);
using RegDeleteKeyFunction = decltype(&::RegDeleteKeyW);

}  // namespace

std::wstring Win32Platform::GetCommandLine() { return ::GetCommandLineW(); }

bool Win32Platform::CommandLineToArgv(const std::wstring& commandLine,
                                      std::vector<std::wstring>* args) {
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(commandLine.c_str(), &count);
  if (argv == nullptr) return false;
  args->assign(argv, argv + count);
  ::LocalFree(argv);
  return true;
}

Dword Win32Platform::GetLastError() { return ::GetLastError(); }

void Win32Platform::Exit(Dword exitCode) { std::exit(static_cast<int>(exitCode)); }

ModuleHandle Win32Platform::GetModuleHandle(const std::wstring& moduleName) {
  return FromHmodule(::GetModuleHandleW(moduleName.empty() ? nullptr : moduleName.c_str()));
}

ModuleHandle Win32Platform::LoadLibrary(const std::wstring& fileName) {
  return FromHmodule(::LoadLibraryW(fileName.c_str()));
}

ProcAddress Win32Platform::GetProcAddress(ModuleHandle module, const std::string& procName) {
  return AddressOf(::GetProcAddress(ToHmodule(module), procName.c_str()));
}

// The Call* members refuse a null address with the error of a missing function rather
// than jumping to it.
bool Win32Platform::CallIsWow64Process(ProcAddress isWow64Process, bool* wow64) {
  if (isWow64Process == 0) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }
  BOOL flag = FALSE;
  const BOOL done =
      FunctionAt<IsWow64ProcessFunction>(isWow64Process)(::GetCurrentProcess(), &flag);
  *wow64 = flag != FALSE;
  return done != FALSE;
}

bool Win32Platform::CallIsWow64Process2(ProcAddress isWow64Process2, Word* processMachine,
                                        Word* nativeMachine) {
  if (isWow64Process2 == 0) return false;
  USHORT process = 0;
  USHORT native = 0;
  const BOOL done = FunctionAt<IsWow64Process2Function>(isWow64Process2)(::GetCurrentProcess(),
                                                                         &process, &native);
  *processMachine = process;
  *nativeMachine = native;
  return done != FALSE;
}

Long Win32Platform::CallGetMachineTypeAttributes(ProcAddress getMachineTypeAttributes, Word machine,
                                                 Dword* attributes) {
  if (getMachineTypeAttributes == 0) return E_NOTIMPL;
  int flags = 0;
  const HRESULT result =
      FunctionAt<GetMachineTypeAttributesFunction>(getMachineTypeAttributes)(machine, &flags);
  *attributes = static_cast<Dword>(flags);
  return result;
}

Long Win32Platform::CallRegDeleteKeyEx(ProcAddress regDeleteKeyEx, RegKey key,
                                       const std::wstring& subKey, Dword samDesired,
                                       Dword reserved) {
  if (regDeleteKeyEx == 0) return ERROR_PROC_NOT_FOUND;
  return FunctionAt<RegDeleteKeyExFunction>(regDeleteKeyEx)(ToHkey(key), subKey.c_str(), samDesired,
                                                            reserved);
}

Long Win32Platform::CallRegDeleteKey(ProcAddress regDeleteKey, RegKey key,
                                     const std::wstring& subKey) {
  if (regDeleteKey == 0) return ERROR_PROC_NOT_FOUND;
  return FunctionAt<RegDeleteKeyFunction>(regDeleteKey)(ToHkey(key), subKey.c_str());
}

bool Win32Platform::IsUserAnAdmin() {
  HMODULE shell32 = ::GetModuleHandleW(L"shell32.dll");
  if (shell32 == nullptr) shell32 = LoadSystemLibrary(L"shell32.dll");
  const auto isUserAnAdmin =
      FindFunction<IsUserAnAdminFunction>(shell32, MAKEINTRESOURCEA(kIsUserAnAdminOrdinal));
  return isUserAnAdmin != nullptr && isUserAnAdmin() != FALSE;
}

std::uint64_t Win32Platform::VerSetConditionMask(std::uint64_t conditionMask, Dword typeMask,
                                                 std::uint8_t condition) {
  return ::VerSetConditionMask(conditionMask, typeMask, condition);
}

bool Win32Platform::VerifyVersionInfo(const OsVersionInfoEx& info, Dword typeMask,
                                      std::uint64_t conditionMask) {
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  version.dwMajorVersion = info.majorVersion;
  version.dwMinorVersion = info.minorVersion;
  version.dwBuildNumber = info.buildNumber;
  version.dwPlatformId = info.platformId;
  version.wServicePackMajor = info.servicePackMajor;
  version.wServicePackMinor = info.servicePackMinor;
  version.wSuiteMask = info.suiteMask;
  version.wProductType = info.productType;
  return ::VerifyVersionInfoW(&version, typeMask, conditionMask) != FALSE;
}

void Win32Platform::RtlGetNtVersionNumbers(Dword* major, Dword* minor, Dword* build) {
  DWORD values[3] = {0, 0, 0};
  const auto rtlGetNtVersionNumbers = FindFunction<RtlGetNtVersionNumbersFunction>(
      ::GetModuleHandleW(L"ntdll.dll"), "RtlGetNtVersionNumbers");
  if (rtlGetNtVersionNumbers != nullptr) {
    rtlGetNtVersionNumbers(major ? &values[0] : nullptr, minor ? &values[1] : nullptr,
                           build ? &values[2] : nullptr);
  }
  if (major) *major = values[0];
  if (minor) *minor = values[1];
  if (build) *build = values[2];
}

Word Win32Platform::GetSystemDefaultUILanguage() { return ::GetSystemDefaultUILanguage(); }

bool Win32Platform::GetVersionEx(OsVersionInfoEx* info) {
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) return false;
  info->majorVersion = version.dwMajorVersion;
  info->minorVersion = version.dwMinorVersion;
  info->buildNumber = version.dwBuildNumber;
  info->platformId = version.dwPlatformId;
  info->servicePackMajor = version.wServicePackMajor;
  info->servicePackMinor = version.wServicePackMinor;
  info->suiteMask = version.wSuiteMask;
  info->productType = version.wProductType;
  return true;
}

bool Win32Platform::GetUserName(wchar_t* buffer, Dword* size) {
  DWORD length = *size;
  const BOOL done = ::GetUserNameW(buffer, &length);
  *size = length;
  return done != FALSE;
}

// Found at run time: Windows 2000 without Terminal Services may lack it.
bool Win32Platform::ProcessIdToSessionId(Dword* sessionId) {
  const auto processIdToSessionId = FindFunction<ProcessIdToSessionIdFunction>(
      ::GetModuleHandleW(L"kernel32.dll"), "ProcessIdToSessionId");
  DWORD session = 0;
  if (processIdToSessionId == nullptr || !processIdToSessionId(::GetCurrentProcessId(), &session)) {
    return false;
  }
  *sessionId = session;
  return true;
}

bool Win32Platform::GetProcessWindowStationFlags(Dword* flags) {
  USEROBJECTFLAGS objectFlags{};
  DWORD needed = 0;
  if (!::GetUserObjectInformationW(::GetProcessWindowStation(), UOI_FLAGS, &objectFlags,
                                   sizeof(objectFlags), &needed)) {
    return false;
  }
  *flags = objectFlags.dwFlags;
  return true;
}

std::uint64_t Win32Platform::GetSystemTimeAsFileTime() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return FromFileTime(now);
}

bool Win32Platform::CallGetTickCount64(ProcAddress getTickCount64, std::uint64_t* milliseconds) {
  if (getTickCount64 == 0) return false;
  *milliseconds = FunctionAt<GetTickCount64Function>(getTickCount64)();
  return true;
}

Long Win32Platform::CallNtQuerySystemInformation(ProcAddress ntQuerySystemInformation,
                                                 Dword informationClass,
                                                 std::vector<std::uint8_t>* buffer) {
  constexpr LONG kStatusProcedureNotFound = static_cast<LONG>(0xC000007A);
  if (ntQuerySystemInformation == 0) return kStatusProcedureNotFound;
  ULONG returned = 0;
  return FunctionAt<NtQuerySystemInformationFunction>(ntQuerySystemInformation)(
      informationClass, buffer->data(), static_cast<ULONG>(buffer->size()), &returned);
}

}  // namespace boot
