#include "driver/restart.h"

namespace boot {
namespace {

constexpr wchar_t kLocalSystemSid[] = L"S-1-5-18";
constexpr Dword kFirstIsolatedSessionMajor = 6;  // Windows Vista: session 0 holds no user

RunningAccount ReadAccount(RunContext& context, KernelHandle token) {
  RunningAccount account;
  std::wstring sid;
  account.localSystem = context.os.GetTokenUserSid(token, &sid) && sid == kLocalSystemSid;
  account.sessionKnown = context.os.GetTokenSessionId(token, &account.sessionId);
  return account;
}

ProcAddress FindAdvapi32Function(RunContext& context, const char* name) {
  const ModuleHandle advapi32 = context.os.GetModuleHandle(L"advapi32.dll");
  return advapi32 == 0 ? 0 : context.os.GetProcAddress(advapi32, name);
}

// Restart, no forcing, no delay, the same reason for every call.
bool RequestRestart(RunContext& context, RestartCall call, Dword majorVersion) {
  if (call == RestartCall::kInitiateShutdown) {
    const ProcAddress initiateShutdown = FindAdvapi32Function(context, "InitiateShutdownW");
    if (initiateShutdown != 0) {
      return context.os.CallInitiateShutdown(initiateShutdown, 0, kShutdownRestart,
                                             kShtdnReasonMajorApplication) == kErrorSuccess;
    }
    call = RestartCall::kInitiateSystemShutdownEx;
  }
  if (call == RestartCall::kInitiateSystemShutdownEx) {
    const ProcAddress initiateSystemShutdownEx =
        FindAdvapi32Function(context, "InitiateSystemShutdownExW");
    if (initiateSystemShutdownEx != 0) {
      return context.os.CallInitiateSystemShutdownEx(initiateSystemShutdownEx, 0, false, true,
                                                     kShtdnReasonMajorApplication);
    }
  }
  const Dword flags = majorVersion >= 6 ? kEwxReboot | kEwxRestartApps : kEwxReboot;
  return context.os.ExitWindowsEx(flags, kShtdnReasonMajorApplication);
}

}  // namespace

RestartCall ChooseRestartCall(const RunningAccount& account, Dword majorVersion) {
  const bool isolatedSession =
      majorVersion >= kFirstIsolatedSessionMajor && account.sessionKnown && account.sessionId == 0;
  if (!account.localSystem && !isolatedSession) return RestartCall::kExitWindowsEx;
  return majorVersion >= kFirstIsolatedSessionMajor ? RestartCall::kInitiateShutdown
                                                    : RestartCall::kInitiateSystemShutdownEx;
}

bool RestartComputer(RunContext& context) {
  KernelHandle token = 0;
  if (!context.os.OpenProcessToken(kTokenAdjustPrivileges | kTokenQuery, &token)) return false;
  const RunningAccount account = ReadAccount(context, token);
  Luid shutdown;
  bool enabled = context.os.LookupPrivilegeValue(L"SeShutdownPrivilege", &shutdown) &&
                 context.os.AdjustTokenPrivileges(token, shutdown, kSePrivilegeEnabled) &&
                 context.os.GetLastError() == kErrorSuccess;
  context.os.CloseHandle(token);
  if (!enabled) {
    context.log.Fact(L"restart", L"the shutdown privilege could not be enabled");
    return false;
  }
  Dword major = 0;
  Dword minor = 0;
  context.os.RtlGetNtVersionNumbers(&major, &minor, nullptr);
  // Windows may end this process before the call returns.
  context.log.RestartRequested();
  const bool accepted = RequestRestart(context, ChooseRestartCall(account, major), major);
  context.log.RestartResult(accepted);
  return accepted;
}

}  // namespace boot
