#include "lifetime/run_lifetime.h"

#include <cstdlib>

#include "cache/csp_copy.h"
#include "files/install_log.h"
#include "files/log_folder.h"
#include "log/decimal_text.h"
#include "resources/version.h"
#include "run/wow64.h"
#include "wait/single_run.h"

namespace boot {
namespace {

constexpr Dword kUserNameChars = 257;  // UNLEN + 1
constexpr Dword kBuildNumberMask = 0xFFFF;

std::wstring ProgramName(const std::wstring& modulePath) {
  std::wstring name = FileNameOf(modulePath);
  const std::wstring extension = L".exe";
  if (name.size() > extension.size()) {
    std::wstring tail = name.substr(name.size() - extension.size());
    for (auto& c : tail) c = c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    if (tail == extension) name.resize(name.size() - extension.size());
  }
  return name;
}

std::wstring Hex4(Word value) {
  const wchar_t digits[] = L"0123456789ABCDEF";
  std::wstring text = L"0x";
  for (int shift = 12; shift >= 0; shift -= 4) text += digits[(value >> shift) & 0xF];
  return text;
}

const char* ProductTypeName(std::uint8_t productType) {
  switch (productType) {
    case 1:
      return " (workstation)";
    case 2:
      return " (domain controller)";
    case 3:
      return " (server)";
  }
  return " (unknown)";
}

void LogWindowsRelease(RunContext& context) {
  Dword major = 0;
  Dword minor = 0;
  Dword build = 0;
  context.os.RtlGetNtVersionNumbers(&major, &minor, &build);
  OsVersionInfoEx version;
  const bool known = context.os.GetVersionEx(&version);
  context.log.Fact("Windows",
                   {major, ".", minor, " build ", build & kBuildNumberMask,
                    known ? ", service pack " : "", known ? LogPiece(version.servicePackMajor) : "",
                    known ? "." : "", known ? LogPiece(version.servicePackMinor) : "",
                    known ? ", product type " : "", known ? LogPiece(version.productType) : "",
                    known ? ProductTypeName(version.productType) : ""});
}

void LogAccount(RunContext& context) {
  wchar_t name[kUserNameChars] = {};
  Dword size = kUserNameChars;
  const std::wstring user = context.os.GetUserName(name, &size) ? name : L"unknown";
  Dword session = 0;
  const bool known = context.os.ProcessIdToSessionId(&session);
  context.log.Fact("account", {user, ", session ", known ? LogPiece(session) : "unknown"});
}

// The machine Windows runs on (IMAGE_FILE_MACHINE_*: 0x8664 x64, 0xAA64 ARM64), and the
// package that this Windows takes.
void LogMachine(RunContext& context) {
  const MachineArchitecture machine = ReadMachineArchitecture(context);
  context.log.Fact("native machine",
                   {machine.nativeKnown ? LogPiece(Hex4(machine.nativeMachine)) : "not told",
                    machine.x64Package ? ", package: x64" : ", package: win32"});
}

void WriteStartFacts(RunContext& context, const std::wstring& modulePath, const std::wstring& tmp) {
  RunLog& log = context.log;
  log.Fact("program", {modulePath, ", file version " BOOT_VERSION_TEXT});
  log.CommandLine(context.os.GetCommandLine());
  LogWindowsRelease(context);
  log.Fact("WoW64 process", {IsWow64(context) ? "yes" : "no"});
  LogMachine(context);
  log.Fact("UI language", {Hex4(context.os.GetSystemDefaultUILanguage())});
  LogAccount(context);
  log.Fact("TMP", {tmp});
  if (!context.logFolder.empty()) log.Fact("log folder", {context.logFolder});
}

// Makes the folder of -log and opens the run's log there; from then on it holds every log of
// the run. 0, or the error that kept the log out of it.
Dword OpenLogIn(RunContext& context, const std::wstring& given, const std::wstring& name) {
  Dword error = MakeLogFolder(context, given, &context.logFolder);
  if (!context.logFolder.empty() && context.log.Open(context.logFolder + name)) {
    return kErrorSuccess;
  }
  context.logFolder.clear();
  if (error == kErrorSuccess) error = context.os.GetLastError();
  return error != kErrorSuccess ? error : kErrorInstallLogFailure;
}

}  // namespace

Dword StartRunLog(RunContext& context, const std::wstring* logFolder) {
  std::wstring modulePath;
  context.os.GetModuleFileName(&modulePath, kMaxPath);
  const std::wstring name = L"\\" + ProgramName(modulePath) + L"_" + LocalTimestamp(context);
  const Dword refused = logFolder != nullptr ? OpenLogIn(context, *logFolder, name) : 0;
  std::wstring tmp;
  const bool tmpRead = ReadTmpFolder(context, &tmp) == kErrorSuccess;
  if (context.logFolder.empty() && !(tmpRead && context.log.Open(tmp + name))) return refused;
  WriteStartFacts(context, modulePath, tmp);
  if (refused != kErrorSuccess) {
    context.log.Fact("log folder", {*logFolder, " could NOT be made or written (error ", refused,
                                    "): the run ends"});
  }
  return refused;
}

void EndRun(RunContext& context, Dword exitCode) {
  RemoveUnusedCspCopy(context);
  ReleaseRunMutex(context);
  context.log.RunEnded(exitCode);
}

void ExitRun(RunContext& context, Dword exitCode) {
  EndRun(context, exitCode);
  context.os.Exit(exitCode);
  std::abort();  // Exit does not return; the compiler cannot see that through the seam.
}

}  // namespace boot
